#pragma once
#include <string>

#include "core/params.h"

namespace norvane {

class TScrapSerch;

// The scrap.xml page: the feed of the book named by u (the keyword file name, its
// extension dropped), trimmed in memory to the newest LOG_CNT items (a keyword-less
// book, the kept one, never is), with the Shift_JIS
// declaration. An unknown name or an empty feed gives the error feed. Runs entirely
// under GateLock().
std::string CreateScrapXml(TScrapSerch& books, const ParamList& params);

}  // namespace norvane
