// Control ids of ABOUTBOX, the same in both programs' templates (their resource scripts include
// this file), and the id of the version resource the box reads. The OK button is IDCANCEL, so
// Esc closes the box as well.
#pragma once

#define ABOUTBOX_VERSION_RESOURCE 1

#define IDC_ABOUT_PICTURE      101
#define IDC_ABOUT_PRODUCT      102
#define IDC_ABOUT_VERSION      103
#define IDC_ABOUT_LINE         104
#define IDC_ABOUT_RULE         105
#define IDC_ABOUT_CREDITSLABEL 106
#define IDC_ABOUT_CREDITS      107
