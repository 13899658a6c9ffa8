// A batch of the station window's runs (or one probe): the engine's
// station and the host that hands its calls to the window's thread.
#pragma once

#include "UStationTile.h"
#include "UStationWindow.h"

#include <QMetaObject>
#include <QPointer>

// The engine's calls, handed to the window's thread without waiting for it.
class TFStation::TBridge : public TStationHost {
public:
    TBridge(TFStation &Window, TBatch &Batch) : Window(&Window), Batch(Batch) {}
    void PortLine(size_t Port, const std::string &Line) override
    {
        Post(Port, [Line](TStationTile &T) { T.AddLine(QString::fromStdString(Line)); });
    }
    void PortNote(size_t Port, TNoteKind, const std::string &Text) override
    {
        Post(Port, [Text](TStationTile &T) { T.AddLine(QString::fromStdString(Text)); });
    }
    void PortStatus(size_t Port, const TRunStatus &Status) override
    {
        Post(Port, [Status](TStationTile &T) { T.ShowStatus(Status); });
    }
    void PortDifference(size_t Port, const TSettingDifference &Difference) override
    {
        Post(Port, [Difference](TStationTile &T) { T.AddDifference(Difference); });
    }
    void PortUnit(size_t Port, const std::string &Key) override;
    void PortFinished(size_t Port, const TPortRecord &Record) override
    {
        TBatch *Of = &Batch;
        QMetaObject::invokeMethod(
            Window, [W = Window, Of, Port, Record] { W->Finished(Of, Port, Record); }, Qt::QueuedConnection);
    }

private:
    template <typename TWork>
    void Post(size_t Port, TWork Work);

    QPointer<TFStation> Window;
    TBatch &Batch;
};

struct TFStation::TBatch {
    std::vector<std::string> Ports;
    bool Probe = false;
    bool Automatic = false;
    int32_t Mode = 0;
    size_t Left = 0;
    std::unique_ptr<TBridge> Host;
    // A batch of "Programuj" from a units table: the table and its journal,
    // and the host that gives each port its unit, around Host.
    std::unique_ptr<TUnitsBatch> Units;
    std::unique_ptr<TUnitsHost> UnitsHost;
    std::unique_ptr<TStation> Station; // after the hosts: it goes first
};

template <typename TWork>
void TFStation::TBridge::Post(size_t Port, TWork Work)
{
    if (Batch.Probe)
        return;
    const std::string Name = Batch.Ports[Port];
    QMetaObject::invokeMethod(
        Window,
        [W = Window, Name, Work] {
            if (TStationTile *T = W->Tile(QString::fromStdString(Name)))
                Work(*T);
        },
        Qt::QueuedConnection);
}

inline void TFStation::TBridge::PortUnit(size_t Port, const std::string &Key)
{
    Post(Port, [Key](TStationTile &T) { T.ShowUnit(QString::fromStdString(Key)); });
    // The row is held from now on: the count drops as runs start, not only as they end.
    TBatch *Of = &Batch;
    QMetaObject::invokeMethod(
        Window, [W = Window, Of] { W->ShowUnitsLeft(*Of->Units); }, Qt::QueuedConnection);
}
