// What the rest of the program asks of the online service. Each call
// returns at once; replies are handled later on the network thread.
#pragma once

#include "online/service_protocol.h"

void OpenServiceSession();  // the one session; a second call does nothing
// Before the settings record goes: waits for the reply handlers at work and
// keeps every later reply away from the record.
void CloseServiceSession();
void StartAccountCheck();   // the SMS login, shown on the account indicator
void CheckForUpdate();      // once a UTC day, when the daily check is on
void SendAlarmNotice(const ServiceAccount& account);  // asks the service to text the owner's phone
