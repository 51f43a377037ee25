// The numbers the handset device library and its caller share: key codes, hook states, error codes and
// display modes.
// No platform header, so pure code on either side can use the names.
#pragma once

extern "C" {

// Key codes handed to the key callback.
enum UsbPhoneKeyCode : int {
    KEY_0 = 0,  // digits 0 to 9 are their own codes
    KEY_9 = 9,
    KEY_STAR = 20,
    KEY_HASH = 21,
    KEY_NO = 30,
    KEY_UP = 40,
    KEY_YES = 50,
    KEY_DOWN = 60,
    KEY_ON_HOOK = 70,
    KEY_OFF_HOOK = 80,
    KEY_MUTE = 100,
    KEY_CLEAR = 110,
};

// The hook state, as USBPhone_GetHookStatus answers it and the caller keeps it.
enum UsbPhoneHookStatus : int {
    HOOK_UNKNOWN = -1,
    HOOK_ON = 1,
    HOOK_OFF = 0,
};

// Codes kept by the library and returned (and cleared) by USBPhone_GetLastError.
enum UsbPhoneError : int {
    USBPHONE_ERR_NONE = 0,
    USBPHONE_ERR_RANGE = 1,        // EEPROM address plus length beyond 255
    USBPHONE_ERR_UNSUPPORTED = 2,  // the handset has no such function
    USBPHONE_ERR_NO_DEVICE = 4,    // no handset found at USBPhone_Open
};

// USBPhone_DisplayLCD modes.
enum UsbPhoneLcdMode : int {
    LCD_CLEAR_ALL = 0,
    LCD_INDICATOR = 1,
    LCD_BAR_LEVEL = 2,
    LCD_TEXT = 3,
    LCD_CLOCK = 4,
    LCD_ALL_ON = 5,
    LCD_TIME_TEXT = 6,
};

}  // extern "C"
