// RTF reader: what word processors write, into a TWPDocument.
//
// Three stages: a tokenizer (groups, control words with clamped parameters,
// control symbols, text bytes, \'hh, \bin), a group-state machine (the
// destination and the character, paragraph, section and row properties that
// each '{' saves and '}' restores) and a builder that puts text into the
// document through QTextCursor.
//
// - 8-bit text is decoded a run at a time with the code page of the current
//   font (\fcharset, \cpg) or of the document (\ansicpg), so double-byte pages
//   decode whole characters; \uN with \ucN skips the fallback that follows.
// - Unknown destinations after \* are skipped; \info, font, colour, style and
//   list tables are read into the document's tables.
// - Tables: rows of one table go onto one column grid made from the union of
//   their \cellx edges; \clmgf/\clmrg and \clvmgf/\clvmrg merge cells; tables
//   nest by \itap (\nestcell, \nestrow, \nesttableprops).
// - \pict with PNG, JPEG, EMF or WMF data (hex or \bin), also inside \shppict;
//   \nonshppict alternatives are skipped.
// - Fields: HYPERLINK becomes a link on its result; PAGE, NUMPAGES, DATE, TIME
//   and MERGEFIELD (and our own ZORFIELD) become field objects; any other
//   field keeps its result text.
//
// Bounds: group depth (deeper groups are skipped as a whole), control word
// length, parameters (clamped to 32 bits), \bin and picture data (never more
// than the bytes left), table size. Groups left open at the end are closed.
#pragma once

#include <ZorCompCore/zor_export.h>

#include <QByteArray>
#include <QString>

namespace zor {

class TWPDocument;

struct TWPRTFReadResult
{
    bool Ok = false;          // false: not RTF (no "{\rtf" at the start)
    QString Error;            // why, when not Ok
    int SkippedGroups = 0;    // groups dropped for being nested too deep
};

class ZOR_EXPORT TWPRTFReader
{
public:
    // Groups nested deeper than this are skipped.
    static constexpr int MaxGroupDepth = 200;

    // Replaces doc's content with the RTF in data. A damaged document gives
    // what could be read; only data that is no RTF at all fails.
    static TWPRTFReadResult Read(const QByteArray &data, TWPDocument &doc);
    // True when data starts (after white space) with "{\rtf".
    static bool IsRTF(const QByteArray &data);
};

} // namespace zor
