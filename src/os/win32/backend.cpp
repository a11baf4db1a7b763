#include "os/win32/backend.h"

#include "os/win32/advapi32.h"
#include "os/win32/downloads.h"
#include "os/win32/gdi32.h"
#include "os/win32/kernel32.h"
#include "os/win32/ole32.h"
#include "os/win32/shell32.h"
#include "os/win32/system.h"
#include "os/win32/user32.h"
#include "os/win32/wininet.h"

namespace os::win32
{
    struct Backend::Adapters
    {
        // Fonts outlive the window manager that hands them to windows.
        FontCache fonts;
        Win32Windows windows{ fonts };
        Win32System system;
        Win32Shell shell;
        Win32Registry registry;
        Win32Internet internet;
        Win32Downloads downloads;
        Win32Process process;
        Win32PlayerFactory players;
    };

    Backend::Backend()
        : _adapters(std::make_unique<Adapters>()), _os{ _adapters->windows,  _adapters->system,   _adapters->shell,
                                                        _adapters->registry, _adapters->internet, _adapters->downloads,
                                                        _adapters->process,  _adapters->players }
    {
    }

    Backend::~Backend() = default;

    std::unique_ptr<Backend> CreateBackend()
    {
        return std::make_unique<Backend>();
    }
} // namespace os::win32
