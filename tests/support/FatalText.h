// Test helper: the text of the fatal error (CUserException) a piece of code raises.
#pragma once
#include <functional>
#include <string>
#include "engine/core/Fatal.h"

// The message body raised, or "<no fatal error>" when it returns normally.
inline std::string FatalText(const std::function<void()>& body)
{
    try {
        body();
    } catch (const CUserException& e) {
        return e.what();
    }
    return "<no fatal error>";
}
