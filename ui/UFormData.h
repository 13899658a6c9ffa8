// TForm's insides, shared by the builder (UFormBuild.cpp) and the state of
// controls whose page is not made yet (UFormState.cpp).
#pragma once

#include "UForm.h"
#include "UFormDecl.h"

#include <QSize>
#include <QString>

#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class TStatusPanel;
class QObject;
class QWidget;

// What a control holds while it does not exist: what it would show after
// the same calls. Edit and tab caption: Text; spin edit and combo box: Value.
struct TPendingState {
    QString Text;
    int32_t Value = 0;
    bool Checked = false;
};

struct TFormEntry {
    std::string Name;
    const TNode *Node = nullptr;
    QObject *Object = nullptr; // null until its page is made
    int Page = -1;             // deferred page it lies on; -1: made with the window
    int Parent = -1;           // entry of the parent component; -1: the client area
    THandler Handler;          // an edit's change handler, also run before it is made
    TPendingState State;       // meaningful while Object is null
};

// A page of the client area's tab set: its controls are made on first show
// or on the first lookup of one of them.
struct TDeferredPage {
    int Entry = -1;
    std::vector<int> Members;
    bool Made = false;
};

struct TFormData {
    QWidget *Client = nullptr;
    std::vector<TNode> Declaration;
    std::unordered_map<std::string, THandler> Handlers;
    std::vector<TFormEntry> Entries; // declaration order; never resized after indexing
    std::unordered_map<std::string, int> Index;
    std::unordered_map<const TNode *, int> NodeEntry;
    std::unordered_map<int, std::vector<int>> RadioGroups; // parent entry -> its radio buttons
    std::vector<TDeferredPage> Pages;
    std::vector<QObject *> Ordered;
    std::map<std::pair<TNodeKind, std::string>, QSize> Hints;
    TStatusPanel *StatusPanel = nullptr;
};

// Makes the controls of deferred page K and gives them their pending state.
void MakeDeferredPage(TFormData &D, int K);
// Gives a made control the state it held before.
void ApplyPendingState(TFormEntry &E);
// The starting state of an entry, from its node.
void InitPendingState(TFormData &D, int At);
