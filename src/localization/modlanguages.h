#pragma once

namespace mavrel {

class clsLanguages;

// Registers the English texts of the messages the product looks up, before any language is
// applied: the seven of the main window, then the language window's title, its download
// confirmation and the box when the downloaded file cannot be saved, then the status line's
// confirmations and the box for an address no program on the desktop opens.
void registerDefaultMessages(clsLanguages &languages);

} // namespace mavrel
