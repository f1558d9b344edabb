// zorcc html: the verbs of the HTML text utilities and of BinHTML, which the
// html command hands on (see html_web.cpp).
#pragma once

#include "Command.h"

namespace zorcc {

// Runs args (verb first) when the verb is one of these; -1 when it is not.
int runHtmlWebVerb(const QStringList &args, Io &io);
// Their part of "zorcc html --help".
QString htmlWebUsage();

} // namespace zorcc
