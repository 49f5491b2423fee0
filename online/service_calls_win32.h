// What the rest of the program asks of the online service. Each call
// returns at once; replies are handled later on the network thread, which
// posts what the owner must see to the main dialog.
#pragma once

#include "online/service_protocol.h"

void OpenServiceSession();  // the one session; a second call does nothing
void StartAccountCheck(const ServiceAccount& account);  // the SMS login, shown on the account indicator
void CheckForUpdate(Settings& settings);  // once a UTC day, when the daily check is on; main thread
void SendAlarmNotice(const ServiceAccount& account);  // asks the service to text the owner's phone
