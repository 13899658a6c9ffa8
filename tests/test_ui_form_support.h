// Helpers of the component-tree tests: one offscreen application and a
// window client whose handlers count their calls.
#pragma once

#include "UForm.h"

#include <QApplication>
#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>

inline QApplication &FormTestApplication()
{
    static int Argc = 1;
    static char Name[] = "test_ui_form";
    static char *Argv[] = {Name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication *App = new QApplication(Argc, Argv);
    return *App;
}

inline const char *const DeclaredHandlers[] = {"Button1Click", "Button2Click", "Button3Click", "Button4Click",
    "Button5Click", "Button6Click", "Button7Click", "Button8Click", "Button9Click", "Edit3Change", "Edit6Change",
    "Edit9Change", "Timer1Timer"};

struct TFormHarness {
    std::map<std::string, int> Calls;
    std::unique_ptr<QWidget> Client;
    std::unique_ptr<TForm> Form;

    TFormHarness()
    {
        FormTestApplication();
        std::unordered_map<std::string, THandler> Handlers;
        for (const char *Name : DeclaredHandlers)
            Handlers[Name] = [this, Name] { ++Calls[Name]; };
        Client = std::make_unique<QWidget>();
        Form = std::make_unique<TForm>(Client.get(), Handlers);
    }
    ~TFormHarness()
    {
        Form.reset();
        Client.reset();
    }

    QObject *Find(const std::string &Name) const { return Form->FindControl(Name); }
    template <typename T>
    T *Get(const std::string &Name) const
    {
        return Form->Control<T>(Name);
    }
};

// The one harness of a test binary: building the window takes a while.
inline TFormHarness &SharedHarness()
{
    static TFormHarness *Harness = new TFormHarness;
    return *Harness;
}
