<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>VrexEditbox</name>
    <message>
        <source>Invalid property value.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid Property Value. Must be from 0 to 99.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VrexEditboxPlugin</name>
    <message>
        <source>Typed edit box</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A text box for codes, numbers, amounts, percentages and dates, with typed input, completion and validation.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
