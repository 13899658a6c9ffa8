// The declaration of the window's component tree: plain data, no widgets.
// TForm builds the widgets from it (UFormBuild.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class TNodeKind : uint8_t {
    PageControl,
    TabSheet,
    GroupBox,
    Label,
    Edit,
    CheckBox,
    RadioButton,
    SpinEdit,
    ComboBox,
    Button,
    ProgressBar,
    Memo,
    StatusBar,
    Timer,
};

const char *NodeKindWord(TNodeKind Kind);

// Geometry in the parent's coordinates. X < 0 puts the control -X pixels to
// the right of its previous sibling; W == 0 takes the width the caption
// needs. Controls shorter than a row are centred in it, so controls of one
// row share Y. Pages fill their tab set and carry no geometry.
constexpr int RowHeight = 22;

struct TNode {
    TNodeKind Kind = TNodeKind::Label;
    int Number = 0;       // 0 for labels and group boxes: numbered in declaration order
    std::string Caption;  // UTF-8; an edit's design-time text
    int X = 0, Y = 0, W = 0, H = 0;
    int MaxLength = 0;    // Edit
    int Min = 0, Max = 0; // SpinEdit, ProgressBar
    int Value = 0;        // SpinEdit value, ComboBox item index, Timer interval
    bool Checked = false; // CheckBox, RadioButton
    bool Hidden = false;
    bool Disabled = false;
    bool ButtonStyle = false; // PageControl: tabs drawn as push buttons
    bool Bold = false;        // Memo
    std::vector<std::string> Items; // ComboBox
    std::string Handler;            // click, text change or tick
    std::vector<TNode> Children;
};

// Top-level components of the client area in creation order:
// PageControl1, StatusBar1, Timer1.
std::vector<TNode> FormDeclaration();

// The pages of PageControl1, one per tab (UFormDecl*.cpp).
TNode DeclPliki();
TNode DeclSim();
TNode DeclUsers();
TNode DeclInputs();
TNode DeclOutputs();
TNode DeclArming();
TNode DeclTest();
TNode DeclRing();
TNode DeclSms();
TNode DeclGps();
TNode DeclSpec();
TNode DeclProg();

constexpr int ClientWidth = 503;
constexpr int ClientHeight = 508;
constexpr int StatusHeight = 20;
// Inner size of a page of PageControl1.
constexpr int PageWidth = 499;
constexpr int PageHeight = 462;
// A tab set's pages lie below its tab row; ordinary tab sets add a frame.
constexpr int TabRowHeight = 24;
constexpr int FrameWidth = 2;

// Small constructors that keep the declaration readable.
namespace Decl {
TNode Page(int Number, std::string Caption, std::vector<TNode> Children = {});
TNode Tabs(int Number, bool ButtonStyle, int X, int Y, int W, int H, std::vector<TNode> Pages);
TNode Group(std::string Caption, int X, int Y, int W, int H, std::vector<TNode> Children);
TNode Label(std::string Caption, int X, int Y);
TNode Edit(int Number, int MaxLength, int X, int Y, int W);
TNode Check(int Number, std::string Caption, int X, int Y);
TNode Radio(int Number, std::string Caption, int X, int Y, bool Checked = false);
// A spin edit's range is its field's, from the field table (UFields.h).
TNode Spin(int Number, int Value, int X, int Y);
TNode Combo(int Number, std::vector<std::string> Items, int X, int Y, int W);
TNode Button(int Number, std::string Caption, int X, int Y, int W, std::string Handler);
TNode Hidden(TNode Node);

// Users tab set of the user reaction pages (WYJ, UZBR, TEST): pages
// FirstPage.., check boxes FirstCheck.. (SMS then RING, user by user),
// edits FirstEdit.., all consecutive.
TNode ReactionTabs(int PageControl, int FirstPage, int FirstCheck, int FirstEdit, int X, int Y, int W);
constexpr int ReactionTabsHeight = 112;
} // namespace Decl
