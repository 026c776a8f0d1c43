<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>VrexEditbox</name>
    <message>
        <source>Invalid property value.</source>
        <translation>Ungültiger Eigenschaftswert.</translation>
    </message>
    <message>
        <source>Invalid Property Value. Must be from 0 to 99.</source>
        <translation>Ungültiger Eigenschaftswert. Er muss zwischen 0 und 99 liegen.</translation>
    </message>
</context>
<context>
    <name>VrexEditboxPlugin</name>
    <message>
        <source>Typed edit box</source>
        <translation>Typisiertes Eingabefeld</translation>
    </message>
    <message>
        <source>A text box for codes, numbers, amounts, percentages and dates, with typed input, completion and validation.</source>
        <translation>Ein Textfeld für Codes, Zahlen, Beträge, Prozentwerte und Datumsangaben, mit typgerechter Eingabe, Vervollständigung und Prüfung.</translation>
    </message>
</context>
</TS>
