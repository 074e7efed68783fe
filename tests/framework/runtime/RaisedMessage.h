#pragma once

#include <functional>
#include <string>

#include "framework/runtime/Errors.h"

// The message of the error of class E that the action raised, or "no error".
template <class E = Exception>
std::string MessageRaised(const std::function<void()>& action)
{
    try {
        action();
    } catch (const E& error) {
        return error.Message();
    }
    return "no error";
}
