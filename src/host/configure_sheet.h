#pragma once

#include <functional>
#include <memory>

namespace kaleon::host {

// A module's configuration sheet: a window that the host shows attached to its own. The host
// that can show sheets (the settings window) says how to make one; host and module name no
// toolkit here.
class ConfigureSheet {
public:
    virtual ~ConfigureSheet() = default;
    // The toolkit's window: a GtkWindow for the GTK settings window.
    virtual void* window() const = 0;
};

using ConfigureSheetMaker = std::function<std::shared_ptr<ConfigureSheet>()>;

// How this process makes sheets; empty (the default) where no host shows them.
void setConfigureSheetMaker(ConfigureSheetMaker maker);
const ConfigureSheetMaker& configureSheetMaker();

} // namespace kaleon::host
