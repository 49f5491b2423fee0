// Placeholders until the online service client is connected.
#include "online/service_calls.h"

void OpenServiceSession() {}
void StartAccountCheck() {}
void CheckForUpdate() {}
void SendAlarmNotice() {}
