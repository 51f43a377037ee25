// Ids of the resources in ui_resources.rc, which the winsim UI tests run against as their program's own.
#pragma once

// Strings: 0 and 15 end the first block of sixteen, 16 starts the second; 17 is left out.
#define TEST_STRING_FIRST 0
#define TEST_STRING_LAST_OF_BLOCK 15
#define TEST_STRING_NEXT_BLOCK 16
#define TEST_STRING_MISSING 17
#define TEST_STRING_LONG 200
#define TEST_STRING_WIDE 201

// A group icon of two images (16 x 16 at 24 bpp, 32 x 32 at 8 bpp), and a group naming a missing image.
#define TEST_ICON 30
#define TEST_ICON_SMALL_IMAGE 31
#define TEST_ICON_LARGE_IMAGE 32
#define TEST_ICON_BROKEN 33

// A menu bar with a popup holding an item, a separator, a nested popup and a grayed item.
#define TEST_MENU 10
#define CMD_FIRST 201
#define CMD_DEEP 202
#define CMD_GRAYED 203
#define CMD_TOP 204

// A dialog with a label, an edit field, three push buttons (one of them the default) and an icon.
#define TEST_DIALOG 20
#define IDC_LABEL (-1)
#define IDC_EDIT 301
#define IDC_APPLY 302
#define IDC_SAVE 303
#define IDC_PICTURE 304
// A dialog with no default push button.
#define TEST_PLAIN_DIALOG 21
// A dialog whose control has a class winsim cannot create.
#define TEST_BROKEN_DIALOG 22

#define TEST_ACCELERATORS 40
#define CMD_HELP 401
#define CMD_LETTER 402
#define CMD_F1 403
#define CMD_ALT_F2 404

// WAVE resources: 50 in two languages (one neutral), 51 only in Chinese, one named by a string.
#define TEST_WAVE 50
#define TEST_WAVE_CHINESE 51
