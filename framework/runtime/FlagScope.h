#pragma once

// Sets a flag for the length of a scope and restores it afterwards, also
// when an error passes; guards against re-entrant layout work.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
    ~TFlagScope() { flag_ = previous_; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& flag_;
    bool previous_;
};
