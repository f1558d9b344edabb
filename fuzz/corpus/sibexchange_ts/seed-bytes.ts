<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
    <extra-po-header-language>fr</extra-po-header-language>
    <extra-po-headers>Content-Type,Language,X-Qt-Contexts</extra-po-headers>
<context>
    <name>TfrmKunde</name>
    <message>
        <source>Zeile<byte value="x1"/> ctl <byte value="xd"/> cr</source>
        <comment>stCaptions:btnOK.text</comment>
        <translation>Ligne<byte value="x1"/> ctl <byte value="xd"/> cr</translation>
    </message>
    <message>
        <source>a very long text a very long text a very long text a very long text a very long text a very long text</source>
        <comment>stStrings:long</comment>
        <translation type="unfinished">x</translation>
    </message>
</context>
</TS>
