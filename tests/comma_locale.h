// Puts the C library into a locale whose decimal point is a comma for the
// life of the object, as a host in a German-speaking setting does, and
// restores the previous locale afterwards.
#pragma once

#include <clocale>
#include <string>

class ScopedCommaLocale {
public:
    ScopedCommaLocale() {
        const char* previous = std::setlocale(LC_ALL, nullptr);
        mPrevious = previous ? previous : "C";
        // glibc names, then the Windows runtime's.
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252", "de-DE", "German"}) {
            if (std::setlocale(LC_ALL, name) && IsComma()) {
                mActive = true;
                return;
            }
        }
        std::setlocale(LC_ALL, mPrevious.c_str());
    }
    ~ScopedCommaLocale() { std::setlocale(LC_ALL, mPrevious.c_str()); }
    ScopedCommaLocale(const ScopedCommaLocale&) = delete;
    ScopedCommaLocale& operator=(const ScopedCommaLocale&) = delete;

    // False when the machine has no such locale (the set-up script makes one).
    bool Active() const { return mActive; }

private:
    static bool IsComma() {
        const std::lconv* conv = std::localeconv();
        return conv && conv->decimal_point && conv->decimal_point[0] == ',';
    }
    std::string mPrevious;
    bool mActive = false;
};
