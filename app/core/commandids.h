// Command identifiers: one number per command, shared by its menu item, its toolbar
// button and its status-bar prompt. The numbers are fixed; hints and settings refer to
// some of them.
#pragma once

// File menu.
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_POLL_ACTIVATE = 32864;
inline constexpr int ID_POLL_SILENT = 32868;
inline constexpr int ID_POLL_ASK = 32865;
inline constexpr int ID_POLL_OFF = 32866;
inline constexpr int ID_RELOAD = 32867;
inline constexpr int ID_CACHE_SUBFILES = 32854;
inline constexpr int ID_FILE_STATISTICS = 32806;
inline constexpr int ID_REGISTER_BOTH = 32840;
inline constexpr int ID_REGISTER_DAT = 32841;
inline constexpr int ID_REGISTER_MPD = 32842;
inline constexpr int ID_WRITE_POV = 32776;
inline constexpr int ID_FILE_MRU_FIRST = 57616;  // the recent files, 10 in a row
inline constexpr int ID_APP_EXIT = 57665;

// Edit menu.
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_SET_LDRAW_DIR = 32812;

// View menu.
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;
inline constexpr int ID_TREE_VIEW = 32811;
inline constexpr int ID_ZOOM = 32794;
inline constexpr int ID_BFC = 32863;
inline constexpr int ID_SHADING = 32813;
inline constexpr int ID_SEAMS = 32856;
inline constexpr int ID_STUDS_LAST = 32820;
inline constexpr int ID_REFRESH_EACH_PART = 32821;
inline constexpr int ID_LINE_AS_STUD = 32815;
inline constexpr int ID_VERTEX_LISTS = 32846;
inline constexpr int ID_SHOW_TYPE2 = 32771;
inline constexpr int ID_SHOW_TYPE3 = 32772;
inline constexpr int ID_SHOW_TYPE4 = 32773;
inline constexpr int ID_SHOW_TYPE5 = 32774;
inline constexpr int ID_EDGES_TYPE3 = 32803;
inline constexpr int ID_EDGES_TYPE4 = 32804;
inline constexpr int ID_SHOW_ALL_TYPE5 = 32836;
inline constexpr int ID_COLOUR24_BLACK = 32837;
inline constexpr int ID_SHOW_MODEL_BOX = 32839;
inline constexpr int ID_SHOW_AXES = 32843;
inline constexpr int ID_NORMAL_COLOURS = 32825;
inline constexpr int ID_RANDOM_COLOURS = 32826;
// The colour schemes, by scheme number; the fourth, the library's own colours, came later
// and takes the next free number.
inline constexpr int QzSchemeIds[4] = {32860, 32861, 32862, 32869};
inline constexpr int ID_ALL_TRANSPARENT = 32851;
inline constexpr int ID_DITHER_TRANSPARENCY = 32850;

// Toolbar only.
inline constexpr int ID_DITHER_256 = 32858;
inline constexpr int ID_AUTO_ZOOM = 32795;
inline constexpr int ID_TOOLBAR_32816 = 32816;
inline constexpr int ID_TOOLBAR_32852 = 32852;
inline constexpr int ID_TOOLBAR_32853 = 32853;

// The fifteen standard views, in view order.
inline constexpr int QzStandardViewIds[15] = {32857, 32787, 32778, 32779, 32780,
                                              32788, 32782, 32783, 32784, 32785,
                                              32786, 32789, 32790, 32791, 32792};

// Test menu.
inline constexpr int ID_STATISTICS = 32796;
inline constexpr int ID_TIME_CALCULATIONS = 32847;
inline constexpr int ID_LOGGING = 32838;
inline constexpr int ID_RENDERER_FIRST = 32797;  // renderers 1 to 3, in a row
inline constexpr int ID_MYTEST5 = 32801;
inline constexpr int ID_MYTEST6 = 32802;
inline constexpr int ID_REFRESH_DISPLAY = 32822;
inline constexpr int ID_BACKGROUND_IMAGE = 32834;

// Help menu.
inline constexpr int ID_WEB_ZARVEL = 32809;
inline constexpr int ID_WEB_TOLPIX = 32810;
inline constexpr int ID_APP_ABOUT = 57664;

// View update hints a load sends.
inline constexpr int HINT_MODEL_LOADED = 37913;
inline constexpr int HINT_MODEL_LOADED_SILENT = 37914;
