// The key codes and display modes of the library's exported interface, apart from its functions: this header
// includes no platform header, so the report protocol can use the names too. usbphone.h includes it.
#pragma once

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
