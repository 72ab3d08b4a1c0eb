<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" sourcelanguage="en">
<context>
    <name>CSheetPage</name>
    <message>
        <source>Batch</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Option</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quick</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <source>&amp;About Tandrel...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>!Error: Directory name of &apos;%1&apos; is empty...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>!Error: Directory name of &apos;%1&apos; not found...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Description</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Source Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Destination Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select destination directory:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select recycle bin directory:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select source directory:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>From</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>To</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recycle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete this batch item?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tandrel::CAboutDlg</name>
    <message>
        <source>About Tandrel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tandrel Version %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tandrel::CBatchItemDlg</name>
    <message>
        <source>&amp;Include names beginning with &apos;.&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>From</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>To</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E&amp;xclude</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Description</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter the batch job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Names to leave out, separated by &apos;;&apos; (e.g. *.tmp; build/). Write \; for a &apos;;&apos; inside a pattern.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse for the source directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse for the destination directory</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tandrel::CColorView</name>
    <message>
        <source>&amp;Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tandrel::CDescriptionDlg</name>
    <message>
        <source>Please enter a description</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Description</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tandrel::CLinkLabel</name>
    <message>
        <source>The operating system is out
of memory or resources.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The specified file was not found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The specified path was not found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The operating system denied
access to the specified file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There was not enough memory to complete the operation.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The .EXE file is invalid
(non-Win32 .EXE or error in .EXE image).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A sharing violation occurred. </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The filename association is
incomplete or invalid.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The DDE transaction could not
be completed because the request timed out.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The DDE transaction failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The DDE transaction could not
be completed because other DDE transactions
were being processed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no application associated
with the given filename extension.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The specified dynamic-link library was not found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown Error (%1) occurred.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to open hyperlink:

</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tandrel::CPageAbout</name>
    <message>
        <source>Designed and developed by Halvory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tandrel Version %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Visit Halvory&apos;s Homepage</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tandrel::CPageBatch</name>
    <message>
        <source>The batch list could not be saved (%1). The list saved before stays as it was.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Go</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Batch list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recycle directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse for the recycle directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1. Nothing was run.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tandrel::CPageLog</name>
    <message>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tandrel::CPageOption</name>
    <message>
        <source>The log file settings could not be saved (%1). The settings saved before stay as they were.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default Directory of Recycle bin</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Log File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Ask before deleting or moving more than</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>entries in one job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Log file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse for the log file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse for the default recycle directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Entries in one job to ask above</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save As</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tandrel::CPageQuick</name>
    <message>
        <source>&amp;GO</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>From</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>To</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep not existent files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete not existent files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move not existent files to...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add to batch list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Include names beginning with &apos;.&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E&amp;xclude</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Names to leave out, separated by &apos;;&apos; (e.g. *.tmp; build/). Write \; for a &apos;;&apos; inside a pattern.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse for the source directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse for the destination directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recycle directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse for the recycle directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The directories could not be remembered for the next start (%1). The job runs all the same.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>tandrel::CVelSheet</name>
    <message>
        <source>Run progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mi&amp;nimize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 copied, %2 deleted, %3 moved, %4 failed, %5 job refused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 copied, %2 deleted, %3 moved, %4 failed, %5 jobs refused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopped: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Preview: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 refused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tandrel: the run has ended</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tandrel: the run has ended, %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The job
%1
would move %2 of the %3 entries the destination holds into the recycle directory.

Move them?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The job
%1
would delete %2 of the %3 entries the destination holds.

Delete them?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move them</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete them</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Skip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Skip the deletions</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
