// The main dialog: the trigger boxes, lock, settings and the account
// indicator. Ends with 1004 for a lock, 2 when closed.
#pragma once

int RunMainDialog();
