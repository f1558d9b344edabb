// The document's named styles as CSS style sheets, for importing and
// exporting them. A paragraph style is written as "p.Name { ... }", a
// character style as "span.Name { ... }"; names that are no CSS identifier
// are escaped. Reading takes every class the html folder's CSS reader finds
// (a class is a character style when all its selectors are "span.Name"),
// with the declarations a style can hold: font-family, font-size,
// font-weight, font-style, text-decoration, color, background-color,
// text-align, margin (and its sides) and text-indent. "-zor-based-on"
// keeps the style a style is based on. Anything else is skipped.
#pragma once

#include <ZorCompCore/richtext/engine/Document.h>
#include <ZorCompCore/zor_export.h>

#include <QString>
#include <QStringView>

#include <vector>

namespace zor {

// The styles a style sheet defines, in the order their classes first occur.
ZOR_EXPORT std::vector<TWPStyle> WPStylesFromCSS(QStringView css);
// A style sheet of styles; WPStylesFromCSS reads it back to equal styles.
ZOR_EXPORT QString WPStylesToCSS(const std::vector<TWPStyle> &styles);

// A file filter written "Description (*.X)|*.X|..." as a Qt file dialog
// wants it ("Description (*.X *.x);;..."): patterns in either case, since
// file names here are case-sensitive.
ZOR_EXPORT QString WPQtFileFilter(const QString &filter);

} // namespace zor
