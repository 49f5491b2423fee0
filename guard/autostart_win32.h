// The program's value under the current user's Run key while there is work
// left for a later start: a guard that was killed, cut off or signed out
// while armed starts again at the next sign-in, gives back what arming
// changed and tells the owner's phone.
#pragma once

// At arming, right after the give-back record is written: the program's
// path, quoted.
void AddAutostart() noexcept;
// When nothing is left to do: at unlock, or at a later start once the
// give-back is done and no push message waits.
void RemoveAutostart() noexcept;
