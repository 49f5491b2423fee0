// Resource and control ids, shared by the resource script and the code.
// Plain #defines: the resource compiler reads this file too.
#pragma once

// Dialogs
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_MAIN 129
#define IDD_WARNING 135
#define IDD_SETTINGS 141
#define IDD_GUARD 142
#define IDD_AGREEMENT 151

// Pictures, sound, text and icon
#define IDI_KESTROVA 100
#define IDR_SIREN 132
#define IDB_BANNER 139
#define IDR_LOCK_PICTURE 148
#define IDR_WARNING_PICTURE 150
#define IDR_AGREEMENT_TEXT 153

// Main dialog
#define IDC_MAIN_TRIGGER_POWER 1001
#define IDC_MAIN_TRIGGER_SHUTDOWN 1003
#define IDC_MAIN_LOCK 1004
#define IDC_MAIN_TRIGGER_USB_MOUSE 1008
#define IDC_MAIN_TRIGGER_MOUSE_MOVE 1009
#define IDC_MAIN_SETTINGS 1017
#define IDC_MAIN_SIGN_UP 1026
#define IDC_MAIN_PROGRESS 1027
#define IDC_MAIN_BALANCE 1028

// Warning dialog
#define IDC_WARNING_DONT_SHOW 1005

// Agreement dialog
#define IDC_AGREEMENT_TEXT 1021

// Settings dialog
#define IDC_SETTINGS_UPDATE_CHECK 1013
#define IDC_SETTINGS_MEASURE_FRAME 1015
#define IDC_SETTINGS_SENSITIVITY 1016
#define IDC_SETTINGS_PASSWORD 1018
#define IDC_SETTINGS_SMS_USER 1022
#define IDC_SETTINGS_SMS_PASS 1023
#define IDC_SETTINGS_SIGN_UP 1024
#define IDC_SETTINGS_USE_SMS 1025
// The about box's web-address line: set at run time to the service's address.
#define IDC_SETTINGS_WEB_ADDRESS 1030
// The owner's push address ("NotifyUrl") and its test button, the service
// it belongs to ("NotifyKind") and its token.
#define IDC_SETTINGS_NOTIFY_URL 1031
#define IDC_SETTINGS_NOTIFY_TEST 1032
#define IDC_SETTINGS_NOTIFY_KIND 1033
#define IDC_SETTINGS_NOTIFY_TOKEN 1034
// The lock hot key, the note beside it (Num Lock, or a key another program
// holds) and "start with Windows".
#define IDC_SETTINGS_HOTKEY_NOTE 1039
#define IDC_SETTINGS_HOTKEY 1040
#define IDC_SETTINGS_START_WITH_WINDOWS 1041
// The camera's photos with each alarm ("TakePhotos").
#define IDC_SETTINGS_TAKE_PHOTOS 1042

// Guard dialog
#define IDC_GUARD_PASSWORD 1018

// The guard dialog's 100 ms desktop watch. The settings dialog's drag needs
// no timer: it follows the mouse messages under capture.
#define IDT_GUARD_WATCH 1025
