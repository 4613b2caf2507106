#pragma once

namespace mavrel {

class clsLanguages;

// Registers the English texts of the messages the product looks up, before any language is
// applied. MSG_TITLELANGUAGE and MSG_DOWNLOADED get no default here.
void registerDefaultMessages(clsLanguages &languages);

} // namespace mavrel
