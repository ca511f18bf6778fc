// The program's commands, one name each: the index into the command table, where each
// row also carries the command's fixed number (menu item, toolbar button and status
// prompt share it). The order is the table's.
#pragma once

#include <cstdint>

enum class QzCmd : uint8_t {
    // File menu.
    FileOpen,
    PollActivate,
    PollSilent,
    PollAsk,
    PollOff,
    Reload,
    CacheSubfiles,
    FileStatistics,
    RegisterBoth,
    RegisterDat,
    RegisterMpd,
    WritePov,
    Export,
    SavePicture,
    WriteInstructions,
    AppExit,
    // Edit menu.
    EditUndo,
    EditCut,
    EditCopy,
    EditPaste,
    SetLDrawDir,
    // View menu.
    ViewToolbar,
    ViewStatusBar,
    TreeView,
    PartsList,
    Zoom,
    Bfc,
    Shading,
    HighQuality,
    Seams,
    StudsLast,
    RefreshEachPart,
    LineAsStud,
    VertexLists,
    ShowType2,
    ShowType3,
    ShowType4,
    ShowType5,
    EdgesType3,
    EdgesType4,
    ShowAllType5,
    Colour24Black,
    ShowModelBox,
    ShowAxes,
    NormalColours,
    RandomColours,
    Scheme0,
    Scheme1,
    Scheme2,
    Scheme3,
    AllTransparent,
    DitherTransparency,
    // Building steps.
    FirstStep,
    PreviousStep,
    NextStep,
    LastStep,
    // Toolbar only.
    Dither256,
    AutoZoom,
    Toolbar32816,
    Toolbar32852,
    Toolbar32853,
    // The fifteen standard views, in view order.
    View0,
    View1,
    View2,
    View3,
    View4,
    View5,
    View6,
    View7,
    View8,
    View9,
    View10,
    View11,
    View12,
    View13,
    View14,
    // Test menu.
    Statistics,
    TimeCalculations,
    Logging,
    Renderer1,
    Renderer2,
    Renderer3,
    FlushAfterEveryPart,
    BfcTestColours,
    RefreshDisplay,
    BackgroundImage,
    // Help menu.
    WebZarvel,
    WebTolpix,
    AppAbout,

    Count
};

inline constexpr int QZ_COMMAND_COUNT = static_cast<int>(QzCmd::Count);

// The command of standard view 0 to 14, of colour scheme 0 to 3, of renderer 1 to 3.
constexpr QzCmd QzViewCommand(int view) {
    return static_cast<QzCmd>(static_cast<int>(QzCmd::View0) + view);
}
constexpr QzCmd QzSchemeCommand(int scheme) {
    return static_cast<QzCmd>(static_cast<int>(QzCmd::Scheme0) + scheme);
}
constexpr QzCmd QzRendererCommand(int type) {
    return static_cast<QzCmd>(static_cast<int>(QzCmd::Renderer1) + type - 1);
}
