// The editor's fixed screen texts and messages.
#pragma once

#include <cstdint>

namespace editor::texts {

// The program's description, for its title screen, its window title and --version.
inline constexpr const char* programName = "Ostrakonix";
inline constexpr const char* programKind = "Hexadezimaler Editor";
inline constexpr const char* programNotice = "© 2026 die Ostrakonix-Autoren";
inline constexpr int64_t programVersion = OSTRAKONIX_VERSION_NUMBER;  // major × 100 + minor

inline constexpr const char* statusTemplate =
    "                          Pos =           Ende =           Esc = Hilfe & Status ";
inline constexpr const char* columnHeader =
    "Position  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       Alphanumerisch  ";
inline constexpr const char* mainMenu[] = {
    "^H = Zeichen links  ^U = Zeichen rechts ^K = Zeile oben     ^J = Zeile unten    ",
    "^W = Scrollen oben  ^Y = Scrollen unten ^R = Seite oben     ^C = Seite unten    ",
    "^B = Dateianfang    ^E = Dateiende      ^G = Zchn. löschen  ^I = Zchn. einfügen ",
    "Zn = Text ändern    ^M = Hex ändern     ^L = Datei laden    ^S = Datei speichern",
    "^F = Suchen Menü    ^Ö = Position       ^Q = Beenden        ^X = Datei schließen",
};
inline constexpr const char* searchMenu[] = {
    "^N = Suchen         ^O = Ändern         ^A = Alles ändern   ^Z = Ändern & Suchen",
    "^F = Hauptmenü      ^P = Modus (        ^V = Einfügen (   ) ^Ü = Über Ostrakonix",
};
inline constexpr const char* searchPrompt = "^D = Suchen: ";
inline constexpr const char* changePrompt = "^T = Ändern: ";
inline constexpr const char* searchModeNames[] = {"Hex)  ", "Text) ", "Alpha)"};
inline constexpr const char* insertModeNames[] = {"Aus", "Ein"};

inline constexpr const char* pressAnyKey = "Bitte irgendeine Taste drücken";
inline constexpr const char* pressAnyKeyPrompt = "Bitte irgendeine Taste drücken ";

inline constexpr const char* badDigitTitle = "Unzulässige Hex-Ziffer";
inline constexpr const char* badSearchDigit = "Der Suchen-Text enthält eine unzulässige Hex-Ziffer.";
inline constexpr const char* badChangeDigit = "Der Ändern-Text enthält eine unzulässige Hex-Ziffer.";
inline constexpr const char* allowedDigits = "Es dürfen nur 0-9, a-f und A-F verwendet werden.";
// Our own: an entry that is no position, and the forms a position takes (hexadecimal, "#"
// decimal, "+" or "-" from the cursor).
inline constexpr const char* badPosition = "Die Position enthält eine unzulässige Ziffer.";
inline constexpr const char* positionForms = "Hex-Ziffern 0-9, a-f, A-F; # dezimal; +/- relativ.";
inline constexpr const char* searchEndedTitle = "Suche beendet";
inline constexpr const char* notFound = "Suchbegriff nicht gefunden.";
inline constexpr const char* noMoreFound = "Keine weiteren Vorkommnisse gefunden.";
inline constexpr const char* changeErrorTitle = "Fehler beim Ändern";
inline constexpr const char* cursorMoved = "Der Cursor wurde seit der letzten Suche bewegt.";
inline constexpr const char* changeOnlyAfterSearch = "Ändern kann nur direkt nach der Suche erfolgen.";
inline constexpr const char* lengthsDiffer1 = "Bei ausgeschaltetem Einfügen-Modus müssen die";
inline constexpr const char* lengthsDiffer2 = "Längen von Suchtext und Änderntext identisch sein.";

inline constexpr const char* saveQuestion = "Aktuelle Datei vorher speichern?";
inline constexpr const char* saveAnswers = "Ja [Return], Nein, Abbrechen [Esc]";
inline constexpr const char* loadTitle = "Datei laden";
inline constexpr const char* closeTitle = "Datei schließen";
inline constexpr const char* quitTitle = "Ostrakonix beenden";

// Our own: shown when a file could not be read, so the user sees more than an empty buffer.
inline constexpr const char* readFailedTitle = "Datei nicht lesbar";
inline constexpr const char* readFailed = "Die Datei konnte nicht gelesen werden.";
inline constexpr const char* saveFailedTitle = "Fehler beim Speichern";
inline constexpr const char* saveFailed = "Die Datei konnte nicht gespeichert werden.";
inline constexpr const char* newContentIn = "Neuer Inhalt in ";

// Our own: why a file could not be read or written, a line of the message that says so.
inline constexpr const char* accessDenied = "Zugriff verweigert";
inline constexpr const char* readOnly = "Schreibgeschützt";
inline constexpr const char* noSpace = "Kein Platz mehr auf dem Gerät";
inline constexpr const char* isFolder = "Ist ein Ordner";
inline constexpr const char* notRegular = "Keine gewöhnliche Datei";
inline constexpr const char* fileNotFound = "Datei nicht gefunden";
inline constexpr const char* folderNotFound = "Ordner nicht gefunden";
inline constexpr const char* systemError = "Systemfehler Nr. ";

// Our own: asking where to save a buffer that has no file, or whose file refused the save.
inline constexpr const char* saveAsTitle = "Datei sichern unter";
inline constexpr const char* saveUnderPrompt = "Sichern unter: ";
inline constexpr const char* saveUnderFolder = "Ordner: ";
inline constexpr const char* saveUnderKeys = "Return = Sichern, Esc = Abbrechen";
inline constexpr const char* replaceTitle = "Datei ersetzen";
inline constexpr const char* replaceQuestion = "Eine Datei dieses Namens gibt es schon.";
inline constexpr const char* replaceAnswers = "Ersetzen? Ja, Nein [Esc]";

// Our own: changing works on hexadecimal texts only; and the window title's mark of insert mode.
inline constexpr const char* changeOnlyHex = "Ändern geht nur im Modus Hex.";
inline constexpr const char* changeModeHint = "^P stellt den Modus um.";
inline constexpr const char* insertModeTitle = " \u2013 Einfügen";

// Our own: long runs show how far they have come, and a file changed by another program since
// it was loaded is not saved over without asking.
inline constexpr const char* searchingTitle = "Suchen";
inline constexpr const char* changingAllTitle = "Alles ändern";
// Our own: change all refuses more occurrences than the memory for their pieces allows.
inline constexpr const char* tooManyOccurrences = "Zu viele Vorkommnisse: mehr als 4 Millionen.";
inline constexpr const char* nothingChanged = "Es wurde nichts geändert.";
inline constexpr const char* savingTitle = "Speichern";
inline constexpr const char* pleaseWait = "Bitte warten …";
inline constexpr const char* percentDone = " % erledigt";
inline constexpr const char* progressMark = "…";
inline constexpr const char* changedOnDiskTitle = "Datei verändert";
inline constexpr const char* changedOnDisk1 = "Die Datei wurde seit dem Laden verändert.";
inline constexpr const char* changedOnDisk2 = "Speichern überschreibt die fremden Änderungen.";
inline constexpr const char* changedOnDiskAnswers = "Trotzdem speichern? Ja, Nein [Esc]";

// Our own: the edit menu's items for ranges of bytes (the desktop's menu bar shows them), the
// fill field and the refusal of a copy too large for a clipboard.
inline constexpr const char* editMenu = "Bearbeiten";
inline constexpr const char* markItem = "Markieren";
inline constexpr const char* selectAllItem = "Alles markieren";
inline constexpr const char* cutItem = "Ausschneiden";
inline constexpr const char* copyHexItem = "Kopieren (Hex)";
inline constexpr const char* copyTextItem = "Kopieren (Text)";
inline constexpr const char* pasteItem = "Einfügen";
inline constexpr const char* deleteItem = "Löschen";
inline constexpr const char* fillItem = "Füllen …";
inline constexpr const char* undoItem = "Widerrufen";
inline constexpr const char* redoItem = "Wiederholen";
inline constexpr const char* fillTitle = "Füllen";
inline constexpr const char* fillPrompt = "Die Markierung füllen mit dem Byte oder Hex-Muster:";
inline constexpr const char* fillAnswers = "Füllen [Return], Abbrechen [Esc]";
inline constexpr const char* badFillDigit = "Das Muster enthält eine unzulässige Hex-Ziffer.";
inline constexpr const char* tooLargeTitle = "Markierung zu groß";
inline constexpr const char* tooLarge = "Mehr als 64 MiB passen nicht in die Zwischenablage.";
inline constexpr const char* nothingCopied = "Es wurde nichts kopiert.";
}  // namespace editor::texts
