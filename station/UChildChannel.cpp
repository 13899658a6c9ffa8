#include "UChildProcess.h"

#include "UChildEnds.h"

#include <cstdio>
#include <random>

const char *const ChildModeWord = "__child";

std::string NewChildToken()
{
    std::random_device Source;
    std::string Token;
    for (int I = 0; I < 4; ++I) {
        char Word[9];
        std::snprintf(Word, sizeof Word, "%08x", static_cast<unsigned>(Source()));
        Token += Word;
    }
    return Token;
}

TChildChannel::TState::~TState()
{
    CloseChildEnds(Ends);
}

TChildChannel::~TChildChannel()
{
    if (Watcher.joinable())
        Watcher.detach();
}

bool TChildChannel::Open(const std::string &Down, const std::string &Up, const std::string &Token, TChildJob &Job,
                         std::string &Error)
{
    State->Ends = OpenChildEnds(Down, Up, Error);
    if (State->Ends == nullptr)
        return false;
    TChildRecord First;
    char Buffer[4096];
    while (!State->Reader.Next(First)) {
        const size_t N = State->Reader.Broken() ? 0 : ReadDown(State->Ends, Buffer, sizeof Buffer);
        if (N == 0) {
            Error = "brak zadania od stacji";
            return false;
        }
        State->Reader.Add(Buffer, N);
    }
    if (First.Kind != TChildKind::Start || Token.empty() || First.Job.Token != Token) {
        Error = "zadanie nie od tej stacji";
        return false;
    }
    Job = First.Job;
    return true;
}

bool TChildChannel::Send(const TChildRecord &Record)
{
    const std::string Bytes = EncodeChildRecord(Record);
    std::lock_guard<std::mutex> Guard(State->SendLock);
    return State->Ends != nullptr && WriteUp(State->Ends, Bytes.data(), Bytes.size());
}

void TChildChannel::WatchParent(std::function<void()> OnStop)
{
    Watcher = std::thread([State = State, OnStop = std::move(OnStop)] {
        char Buffer[256];
        TChildRecord Record;
        for (;;) {
            while (State->Reader.Next(Record))
                if (Record.Kind == TChildKind::Stop) {
                    OnStop();
                    return;
                }
            const size_t N = State->Reader.Broken() ? 0 : ReadDown(State->Ends, Buffer, sizeof Buffer);
            if (N == 0)
                break;
            State->Reader.Add(Buffer, N);
        }
        OnStop();
    });
}
