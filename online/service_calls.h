// What the rest of the program asks of the online service. Each call
// returns at once; replies are handled later on the network thread.
#pragma once

void OpenServiceSession();  // the one session; a second call does nothing
void StartAccountCheck();   // the SMS login, shown on the account indicator
void CheckForUpdate();      // once a UTC day, when the daily check is on
void SendAlarmNotice();     // asks the service to text the owner's phone
