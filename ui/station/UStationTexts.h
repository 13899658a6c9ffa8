// The station window's own texts (UTF-8), exactly as the operator sees them.
#pragma once

inline constexpr const char *TextTitle = "Trackwarden – stanowisko";
inline constexpr const char *TextProgram = "Programuj";
inline constexpr const char *TextCompare = "Porównaj";
inline constexpr const char *TextRead = "Odczyt";
inline constexpr const char *TextStart = "Start";
inline constexpr const char *TextStop = "Stop";
inline constexpr const char *TextAutomatic = "Automatycznie";
inline constexpr const char *TextAuditView = "Dziennik";
inline constexpr const char *TextFast = "Szybka wymiana";
inline constexpr const char *TextNextDevice = "Podłącz następne urządzenie";
inline constexpr const char *TextAskStopRuns = "Przerwać trwające przebiegi?";
inline constexpr const char *TextOk = "OK";
inline constexpr const char *TextNoReply = "Brak odpowiedzi";
inline constexpr const char *TextWriteFailed = "Błąd programowania";
inline constexpr const char *TextVerifyFailed = "Błąd weryfikacji";
inline constexpr const char *TextPortBusy = "Port zajęty";
inline constexpr const char *TextStopped = "Przerwano";
inline constexpr const char *TextDifferences = "Różnice";
inline constexpr const char *TextUnits = "Tabela jednostek...";
inline constexpr const char *TextNoUnits = "Bez tabeli";
inline constexpr const char *TextUnitsExhausted = "Tabela wyczerpana";
inline constexpr const char *TextNoFreeUnit = "Brak wolnej jednostki";
