// The log lines of a run, exactly as the log shows them (UTF-8).
#pragma once

inline constexpr const char *LineTakeSettings = "Pobranie ustawień...";
inline constexpr const char *LineSettingsTaken = "Ustawienia probrane.";
inline constexpr const char *LineCheckSettings = "Kontrola ustawień...";
inline constexpr const char *LineSettingsError = "Błąd ustawień!";
inline constexpr const char *LineSettingsOk = "Ustawienia poprawne.";
inline constexpr const char *LineEncoding = "Kodowanie ustawień...";
inline constexpr const char *LineEncoded = "Kodowanie zakończone.";
inline constexpr const char *LineOpenPort = "Otwarcie portu COM...";
inline constexpr const char *LinePortFailed = "Problem z otwarciem portu COM!";
inline constexpr const char *LinePortOpen = "Port COM otwarty.";
inline constexpr const char *LineConnecting = "Nawiązanie połączenia z urządzeniem...";
inline constexpr const char *LineNoReply = "Brak odpowiedzi od urządzenia!";
inline constexpr const char *LineVersion = "Wersja urządzenia: ";
inline constexpr const char *LineProgramming = "Programowanie...";
inline constexpr const char *LineWriteFailed = "Błąd programowania pamięci!";
inline constexpr const char *LineVerifying = "Weryfikacja...";
inline constexpr const char *LineProgramVerifyFailed = "Błąd weryfikacji programowania!";
inline constexpr const char *LineCompareFailed = "Błąd weryfikacji ustawień!";
inline constexpr const char *LineReset = "Reset...";
inline constexpr const char *LineProgramDone = "Programowanie zakończone pozytywnie.";
inline constexpr const char *LineCompareDone = "Weryfikcja zakończona pozytywnie.";
inline constexpr const char *LineEnd = "Koniec.";
inline constexpr const char *LineReading = "Odczyt...";
inline constexpr const char *LineReadFailed = "Błąd odczytu pamięci!";
inline constexpr const char *LineReadDone = "Odczyt zakończony pozytywnie.";
// A run stopped on request (the CLI on Ctrl+C); the window never asks for it.
inline constexpr const char *LineStopped = "Przerwano.";
// A run in fast mode whose device answered otherwise goes on in the specified timing.
inline constexpr const char *LineFastOff = "Wymiana szybka wyłączona: urządzenie odpowiada inaczej.";
