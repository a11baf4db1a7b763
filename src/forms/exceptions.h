// Errors of the framework. Handlers that let one escape end in
// Application::HandleException, which shows it, as the classic libraries do.
#pragma once

#include "os/types.h"

#include <stdexcept>
#include <string>

namespace forms
{
    class Exception : public std::runtime_error
    {
      public:
        using std::runtime_error::runtime_error;
    };

    // A failure that COM reported with an HRESULT.
    class EOleError : public Exception
    {
      public:
        EOleError(const std::string& what, os::HResult code) : Exception(what), _code(code) {}
        os::HResult ErrorCode() const { return _code; }

      private:
        os::HResult _code;
    };

    // A COM call or a control creation that failed with an OLE system error.
    class EOleSysError : public EOleError
    {
      public:
        using EOleError::EOleError;
    };

    // A failure reported by an OLE control's operation.
    class EOleException : public EOleError
    {
      public:
        using EOleError::EOleError;
    };

    class EOutOfResources : public Exception
    {
      public:
        using Exception::Exception;
    };
} // namespace forms
