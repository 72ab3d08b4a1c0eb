<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>CSheetPage</name>
    <message>
        <source>Batch</source>
        <translation>Stapel</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Option</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Quick</source>
        <translation>Schnell</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <source>&amp;About Tandrel...</source>
        <translation>&amp;Über Tandrel...</translation>
    </message>
    <message>
        <source>!Error: Directory name of &apos;%1&apos; is empty...</source>
        <translation>!Fehler: Der Verzeichnisname von &apos;%1&apos; ist leer...</translation>
    </message>
    <message>
        <source>!Error: Directory name of &apos;%1&apos; not found...</source>
        <translation>!Fehler: Das Verzeichnis von &apos;%1&apos; wurde nicht gefunden...</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Source Directory</source>
        <translation>Quellverzeichnis</translation>
    </message>
    <message>
        <source>Destination Directory</source>
        <translation>Zielverzeichnis</translation>
    </message>
    <message>
        <source>Select destination directory:</source>
        <translation>Zielverzeichnis auswählen:</translation>
    </message>
    <message>
        <source>Select recycle bin directory:</source>
        <translation>Papierkorbverzeichnis auswählen:</translation>
    </message>
    <message>
        <source>Select source directory:</source>
        <translation>Quellverzeichnis auswählen:</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <source>Recycle</source>
        <translation>Papierkorb</translation>
    </message>
    <message>
        <source>Delete this batch item?</source>
        <translation>Diesen Stapeleintrag löschen?</translation>
    </message>
</context>
<context>
    <name>tandrel::CAboutDlg</name>
    <message>
        <source>About Tandrel</source>
        <translation>Über Tandrel</translation>
    </message>
    <message>
        <source>Tandrel Version %1</source>
        <translation>Tandrel Version %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>tandrel::CBatchItemDlg</name>
    <message>
        <source>&amp;Include names beginning with &apos;.&apos;</source>
        <translation>Namen mit führendem &apos;.&apos; &amp;einbeziehen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <source>E&amp;xclude</source>
        <translation>A&amp;usschließen</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Please enter the batch job</source>
        <translation>Bitte den Stapelauftrag eingeben</translation>
    </message>
    <message>
        <source>Names to leave out, separated by &apos;;&apos; (e.g. *.tmp; build/). Write \; for a &apos;;&apos; inside a pattern.</source>
        <translation>Auszulassende Namen, durch &apos;;&apos; getrennt (z. B. *.tmp; build/). Ein &apos;;&apos; innerhalb eines Musters als \; schreiben.</translation>
    </message>
    <message>
        <source>Browse for the source directory</source>
        <translation>Quellverzeichnis durchsuchen</translation>
    </message>
    <message>
        <source>Browse for the destination directory</source>
        <translation>Zielverzeichnis durchsuchen</translation>
    </message>
</context>
<context>
    <name>tandrel::CColorView</name>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>&amp;Alles auswählen</translation>
    </message>
</context>
<context>
    <name>tandrel::CDescriptionDlg</name>
    <message>
        <source>Please enter a description</source>
        <translation>Bitte eine Beschreibung eingeben</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
</context>
<context>
    <name>tandrel::CLinkLabel</name>
    <message>
        <source>The operating system is out
of memory or resources.</source>
        <translation>Dem Betriebssystem fehlt es
an Speicher oder Ressourcen.</translation>
    </message>
    <message>
        <source>The specified file was not found.</source>
        <translation>Die angegebene Datei wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The specified path was not found.</source>
        <translation>Der angegebene Pfad wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The operating system denied
access to the specified file.</source>
        <translation>Das Betriebssystem hat den Zugriff
auf die angegebene Datei verweigert.</translation>
    </message>
    <message>
        <source>There was not enough memory to complete the operation.</source>
        <translation>Für den Vorgang war nicht genug Speicher vorhanden.</translation>
    </message>
    <message>
        <source>The .EXE file is invalid
(non-Win32 .EXE or error in .EXE image).</source>
        <translation>Die .EXE-Datei ist ungültig
(keine Win32-.EXE oder Fehler im .EXE-Abbild).</translation>
    </message>
    <message>
        <source>A sharing violation occurred. </source>
        <translation>Eine Freigabeverletzung ist aufgetreten. </translation>
    </message>
    <message>
        <source>The filename association is
incomplete or invalid.</source>
        <translation>Die Dateizuordnung ist
unvollständig oder ungültig.</translation>
    </message>
    <message>
        <source>The DDE transaction could not
be completed because the request timed out.</source>
        <translation>Die DDE-Transaktion konnte nicht
abgeschlossen werden, da die Anfrage zu lange dauerte.</translation>
    </message>
    <message>
        <source>The DDE transaction failed.</source>
        <translation>Die DDE-Transaktion ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>The DDE transaction could not
be completed because other DDE transactions
were being processed.</source>
        <translation>Die DDE-Transaktion konnte nicht
abgeschlossen werden, da andere DDE-Transaktionen
gerade verarbeitet wurden.</translation>
    </message>
    <message>
        <source>There is no application associated
with the given filename extension.</source>
        <translation>Der angegebenen Dateiendung ist
keine Anwendung zugeordnet.</translation>
    </message>
    <message>
        <source>The specified dynamic-link library was not found.</source>
        <translation>Die angegebene Programmbibliothek wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>Unknown Error (%1) occurred.</source>
        <translation>Unbekannter Fehler (%1) aufgetreten.</translation>
    </message>
    <message>
        <source>Unable to open hyperlink:

</source>
        <translation>Der Link kann nicht geöffnet werden:

</translation>
    </message>
</context>
<context>
    <name>tandrel::CPageAbout</name>
    <message>
        <source>Designed and developed by Halvory</source>
        <translation>Entworfen und entwickelt von Halvory</translation>
    </message>
    <message>
        <source>Tandrel Version %1</source>
        <translation>Tandrel Version %1</translation>
    </message>
    <message>
        <source>Visit Halvory&apos;s Homepage</source>
        <translation>Halvorys Homepage besuchen</translation>
    </message>
</context>
<context>
    <name>tandrel::CPageBatch</name>
    <message>
        <source>The batch list could not be saved (%1). The list saved before stays as it was.</source>
        <translation>Die Stapelliste konnte nicht gespeichert werden (%1). Die zuvor gespeicherte Liste bleibt unverändert.</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>&amp;Go</source>
        <translation>&amp;Los</translation>
    </message>
    <message>
        <source>&amp;Preview</source>
        <translation>&amp;Vorschau</translation>
    </message>
    <message>
        <source>Keep</source>
        <translation>Behalten</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>Verschieben</translation>
    </message>
    <message>
        <source>Batch list</source>
        <translation>Stapelliste</translation>
    </message>
    <message>
        <source>Recycle directory</source>
        <translation>Papierkorbverzeichnis</translation>
    </message>
    <message>
        <source>Browse for the recycle directory</source>
        <translation>Papierkorbverzeichnis durchsuchen</translation>
    </message>
    <message>
        <source>%1. Nothing was run.</source>
        <translation>%1. Es wurde nichts ausgeführt.</translation>
    </message>
</context>
<context>
    <name>tandrel::CPageLog</name>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
</context>
<context>
    <name>tandrel::CPageOption</name>
    <message>
        <source>The log file settings could not be saved (%1). The settings saved before stay as they were.</source>
        <translation>Die Einstellungen der Protokolldatei konnten nicht gespeichert werden (%1). Die zuvor gespeicherten Einstellungen bleiben unverändert.</translation>
    </message>
    <message>
        <source>Default Directory of Recycle bin</source>
        <translation>Standardverzeichnis des Papierkorbs</translation>
    </message>
    <message>
        <source>&amp;Log File</source>
        <translation>&amp;Protokolldatei</translation>
    </message>
    <message>
        <source>&amp;Ask before deleting or moving more than</source>
        <translation>&amp;Nachfragen, bevor mehr als</translation>
    </message>
    <message>
        <source>entries in one job</source>
        <translation>Einträge eines Auftrags gelöscht oder verschoben werden</translation>
    </message>
    <message>
        <source>Log file</source>
        <translation>Protokolldatei</translation>
    </message>
    <message>
        <source>Browse for the log file</source>
        <translation>Protokolldatei durchsuchen</translation>
    </message>
    <message>
        <source>Browse for the default recycle directory</source>
        <translation>Standardverzeichnis des Papierkorbs durchsuchen</translation>
    </message>
    <message>
        <source>Entries in one job to ask above</source>
        <translation>Einträge eines Auftrags, ab denen nachgefragt wird</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Speichern unter</translation>
    </message>
</context>
<context>
    <name>tandrel::CPageQuick</name>
    <message>
        <source>&amp;GO</source>
        <translation>&amp;LOS</translation>
    </message>
    <message>
        <source>&amp;Preview</source>
        <translation>&amp;Vorschau</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <source>Keep not existent files</source>
        <translation>Nicht vorhandene Dateien behalten</translation>
    </message>
    <message>
        <source>Delete not existent files</source>
        <translation>Nicht vorhandene Dateien löschen</translation>
    </message>
    <message>
        <source>Move not existent files to...</source>
        <translation>Nicht vorhandene Dateien verschieben nach...</translation>
    </message>
    <message>
        <source>&amp;Add to batch list</source>
        <translation>In Stapelliste &amp;aufnehmen</translation>
    </message>
    <message>
        <source>&amp;Include names beginning with &apos;.&apos;</source>
        <translation>Namen mit führendem &apos;.&apos; &amp;einbeziehen</translation>
    </message>
    <message>
        <source>E&amp;xclude</source>
        <translation>A&amp;usschließen</translation>
    </message>
    <message>
        <source>Names to leave out, separated by &apos;;&apos; (e.g. *.tmp; build/). Write \; for a &apos;;&apos; inside a pattern.</source>
        <translation>Auszulassende Namen, durch &apos;;&apos; getrennt (z. B. *.tmp; build/). Ein &apos;;&apos; innerhalb eines Musters als \; schreiben.</translation>
    </message>
    <message>
        <source>Browse for the source directory</source>
        <translation>Quellverzeichnis durchsuchen</translation>
    </message>
    <message>
        <source>Browse for the destination directory</source>
        <translation>Zielverzeichnis durchsuchen</translation>
    </message>
    <message>
        <source>Recycle directory</source>
        <translation>Papierkorbverzeichnis</translation>
    </message>
    <message>
        <source>Browse for the recycle directory</source>
        <translation>Papierkorbverzeichnis durchsuchen</translation>
    </message>
    <message>
        <source>The directories could not be remembered for the next start (%1). The job runs all the same.</source>
        <translation>Die Verzeichnisse konnten nicht für den nächsten Start gespeichert werden (%1). Der Auftrag läuft trotzdem.</translation>
    </message>
</context>
<context>
    <name>tandrel::CVelSheet</name>
    <message>
        <source>Run progress</source>
        <translation>Fortschritt des Laufs</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Stopp</translation>
    </message>
    <message>
        <source>Mi&amp;nimize</source>
        <translation>Mi&amp;nimieren</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>%1 copied, %2 deleted, %3 moved, %4 failed, %5 job refused</source>
        <translation>%1 kopiert, %2 gelöscht, %3 verschoben, %4 fehlgeschlagen, %5 Auftrag abgelehnt</translation>
    </message>
    <message>
        <source>%1 copied, %2 deleted, %3 moved, %4 failed, %5 jobs refused</source>
        <translation>%1 kopiert, %2 gelöscht, %3 verschoben, %4 fehlgeschlagen, %5 Aufträge abgelehnt</translation>
    </message>
    <message>
        <source>Stopped: %1</source>
        <translation>Gestoppt: %1</translation>
    </message>
    <message>
        <source>Preview: %1</source>
        <translation>Vorschau: %1</translation>
    </message>
    <message>
        <source>%1 failed</source>
        <translation>%1 fehlgeschlagen</translation>
    </message>
    <message>
        <source>%1 refused</source>
        <translation>%1 abgelehnt</translation>
    </message>
    <message>
        <source>Tandrel: the run has ended</source>
        <translation>Tandrel: Der Lauf ist beendet</translation>
    </message>
    <message>
        <source>Tandrel: the run has ended, %1</source>
        <translation>Tandrel: Der Lauf ist beendet, %1</translation>
    </message>
    <message>
        <source>The job
%1
would move %2 of the %3 entries the destination holds into the recycle directory.

Move them?</source>
        <translation>Der Auftrag
%1
würde %2 der %3 Einträge im Ziel in das Papierkorbverzeichnis verschieben.

Verschieben?</translation>
    </message>
    <message>
        <source>The job
%1
would delete %2 of the %3 entries the destination holds.

Delete them?</source>
        <translation>Der Auftrag
%1
würde %2 der %3 Einträge im Ziel löschen.

Löschen?</translation>
    </message>
    <message>
        <source>Move them</source>
        <translation>Verschieben</translation>
    </message>
    <message>
        <source>Delete them</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Überspringen</translation>
    </message>
    <message>
        <source>Skip the deletions</source>
        <translation>Nicht löschen</translation>
    </message>
</context>
</TS>
