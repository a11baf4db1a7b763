// The Windows program: the real backend under the ticker.
#include "app/ticker.h"
#include "os/win32/backend.h"

int main()
{
    auto backend = os::win32::CreateBackend();
    return app::RunTicker(backend->Os());
}
