<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR" sourcelanguage="de_DE">
<extra-zor-language>Français</extra-zor-language>
<context>
    <name>TfrmKunde</name>
    <message id="stCaptions:btnOK.text">
        <source>Speichern &amp; schließen</source>
        <comment>stCaptions btnOK.text</comment>
        <extracomment>English: Save</extracomment>
        <translation>Enregistrer</translation>
        <extra-zor-type>stCaptions</extra-zor-type>
    </message>
    <message id="x">
        <source>Zeile1
Zeile2	tab "q"</source>
        <comment>stStrings x</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
