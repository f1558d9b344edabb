// zorcc rtf spell: the spelling verb, which the rtf command hands on (see
// richtext_rtfspell.cpp).
#pragma once

#include "Command.h"

namespace zorcc {

// Runs "spell" with its arguments (the verb itself left out).
int runRtfSpell(const QStringList &args, Io &io);

} // namespace zorcc
