/* Menu resource and command numbers of the plug-in's popup menus. Read by the C++ code and by the
   resource compiler, so plain C preprocessor definitions only. */
#ifndef KEL_MENU_COMMANDS_H
#define KEL_MENU_COMMANDS_H

/* Popup 0: the options menu; popup 1: the quick-slot menu. */
#define KEL_MENU_RESOURCE 104
#define KEL_OPTIONS_POPUP 0
#define KEL_SLOT_POPUP 1

/* The name dialog of the preset bank. */
#define KEL_NAME_DIALOG 107

#define KEL_CMD_WIDE_LAYOUT 40001
#define KEL_CMD_TALL_LAYOUT 40002
#define KEL_CMD_HELP 40003
#define KEL_CMD_ABOUT 40004
#define KEL_CMD_DELETE_ALL_PRESETS 40005
#define KEL_CMD_EXPORT_PRESETS 40006
#define KEL_CMD_IMPORT_PRESETS 40007
#define KEL_CMD_OVERWRITE_PRESET 40008
#define KEL_CMD_STORE_NEW_PRESET 40009
#define KEL_CMD_DELETE_PRESET 40010
#define KEL_CMD_RELOAD_SLOT 40015
/* Preset number n (0 to 4 built-in, 100 + k user preset k) is command 40100 + n. */
#define KEL_CMD_PRESET_BASE 40100

#endif
