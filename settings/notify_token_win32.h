// The push token (ntfy's token or user:password, a bot's signing secret),
// apart from the settings record: protected for the owner with DPAPI in the
// REG_BINARY "NotifyTokenProtected", and read from the key at each test and
// each lock, so a new one counts without a restart. Never logged.
#pragma once

#include <string>

// The stored token, or an older version's plain REG_SZ "NotifyToken" until
// the next save moves it; empty when there is none or it cannot be read.
std::string LoadNotifyToken();
// Stores the token protected and deletes the plain value; an empty token
// deletes both.
void SaveNotifyToken(const std::string& token);
