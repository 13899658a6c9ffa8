// The window's own texts (UTF-8), exactly as the user sees them.
#pragma once

inline constexpr const char *TextCaptionBase = "Trackwarden V";
inline constexpr int MajorVersion = 1;
inline constexpr int MinorVersion = 5;

inline constexpr const char *CaptionConfirm = "Potwierdź";
inline constexpr const char *CaptionInformation = "Informacja";
inline constexpr const char *TextAskClose = "Czy na pewno zakończyć pracę programu?";
inline constexpr const char *TextAskNewSet = "Czy na pewno wyzerować wszystkie ustawienia?";
inline constexpr const char *TextNoSuchFile = "Brak takiego pliku!";
inline constexpr const char *TextReadError = "Błąd odczytu pliku!";
inline constexpr const char *TextAskReplace = "Taki plik już istnieje. Czy mam go zastąpić nowym?";
inline constexpr const char *TextWriteError = "Błąd zapisu pliku!";

inline constexpr const char *ButtonYes = "Tak";
inline constexpr const char *ButtonNo = "Nie";
inline constexpr const char *ButtonOk = "OK";

// SMS-centre presets of Button5, Button6, Button7.
inline constexpr const char *PresetEra = "+48602951111";
inline constexpr const char *PresetPlus = "+48601000310";
inline constexpr const char *PresetIdea = "+48501200777";

// Every message box the file commands show, for the pictures and the look test.
struct TMessageBoxText {
    const char *Text;
    const char *Caption;
    bool Question;
};
inline constexpr TMessageBoxText FileMessageBoxes[] = {
    {TextAskClose, CaptionConfirm, true},
    {TextAskNewSet, CaptionConfirm, true},
    {TextNoSuchFile, CaptionInformation, false},
    {TextReadError, CaptionInformation, false},
    {TextAskReplace, CaptionConfirm, true},
    {TextWriteError, CaptionInformation, false},
};
