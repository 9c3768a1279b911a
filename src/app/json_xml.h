// The "_setup.xml" analysis as the `xml` part of `vornix --json`, with the
// conventions of the ".000" part: typed values, UTF-8 names, snake_case keys.
#pragma once

#include <string>

#include "app/json_text.h"
#include "common/result.h"
#include "xml/xml_setup.h"

namespace vornix {

/// `xml` of the document: the stored name of the description, then either
/// its analysis or `error` with the parser's message.
Json XmlJson(const std::string& xmlFileName, const Result<XmlSetupAnalysis>& read);

}  // namespace vornix
