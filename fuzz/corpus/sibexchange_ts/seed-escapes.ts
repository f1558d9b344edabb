<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>A~B|C</name>
    <message>
        <source>x</source>
        <comment>st:a~b|c~|d~~e</comment>
        <translation>y</translation>
    </message>
</context>
</TS>
