// The document of the program without its window: the open model and its path, its
// loading (with or without the subfiles read before), and the watch on the model file
// in one of four poll modes. What it needs of its surroundings (the palette the view
// draws with, showing the input log, telling the views, a timer) comes through
// QzDocumentHost.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "colours.h"
#include "commandids.h"
#include "files.h"
#include "loader.h"
#include "model.h"

// View update hints a load sends.
inline constexpr int HINT_MODEL_LOADED = 37913;
inline constexpr int HINT_MODEL_LOADED_SILENT = 37914;

class QzDocumentHost {
  public:
    virtual ~QzDocumentHost() = default;
    // The palette of the view: loads read the colours of LDConfig.ldr into it.
    virtual QzPalette& Palette() = 0;
    // Shows the input log if it holds text; returns when the user has closed it.
    virtual void ShowInputLog() = 0;
    // Tells every view to update with the hint (HINT_MODEL_LOADED...).
    virtual void UpdateAllViews(int hint) = 0;
    // Starts a repeating timer that calls OnPollTimer every intervalMs; returns its
    // identifier, 0 when it could not be started.
    virtual uint32_t StartTimer(int intervalMs) = 0;
    virtual void StopTimer(uint32_t timer) = 0;
    // A load of the path starts (on) or has read everything (off): long loads show it.
    virtual void Busy(bool /*on*/, const std::string& /*path*/) {}
    // A load opened a file for reading (load progress).
    virtual void FileOpened(const QzPart& /*part*/, const std::string& /*path*/) {}
    // The model file was not found by a check (missing), or is there again: the status
    // bar says so while it is missing.
    virtual void ModelFileMissing(bool /*missing*/, const std::string& /*path*/) {}
    // Milliseconds since an arbitrary start, for how long the model file has been
    // missing.
    virtual uint32_t ClockMs();
};

class QzDocument {
  public:
    static constexpr int kPollIntervalMs = 500;
    // Editors that save by renaming the old file away and writing a new one leave the
    // model file missing for a moment: a check that misses it says so in the status bar
    // and goes on. Missing for longer than this, it is reported in a box, once.
    static constexpr uint32_t kMissingReportMs = 5000;

    explicit QzDocument(QzDocumentHost& host) : host_(host) {}
    // Stops the timer.
    ~QzDocument();
    QzDocument(const QzDocument&) = delete;
    QzDocument& operator=(const QzDocument&) = delete;

    // The poll and cache switches ("-PollSilent", "-NoCache", ...) of the process
    // arguments after the program name; later ones win.
    void ReadSwitches(const std::vector<std::string>& args);

    // Opening a file: checks that it can be read ("Failed to open document." when not),
    // loads it, and on success makes it the document's path. False when it failed.
    bool OpenDocument(const std::string& path);
    // Nonzero when the model loaded. Shows the input log and tells the views either way.
    int LoadModel(const std::string& path);
    // Reloads when the model file's last-write time differs from the one recorded,
    // asking first when prompt is set. A model file that is not there is waited for:
    // the checks go on, and it is reloaded once it is back (when it changed).
    void CheckForChange(bool prompt);
    void StartPollTimer();
    void StopPollTimer();
    void OnPollTimer();
    // The view was activated: in mode "Ask on activate", look for a change and ask.
    void OnViewActivated();

    // Reads through a submodel the main model does not place (a load reads only what
    // the main model reaches), with the document's settings and palette; what that logs
    // is shown when showLog is set. 0 when it is resolved (QzResolveSection).
    int ResolveSection(QzPart& section, bool showLog);

    // The File menu's document commands.
    void SetPollMode(QzCmd mode);
    void Reload();
    void ToggleCacheSubfiles() { cacheSubfiles = !cacheSubfiles; }

    // While a window that shows model data is open (modally, with its own event loop),
    // checks and reloads wait: the window may hold pointers into the loaded lines. What
    // came up meanwhile runs once when the last such window closes.
    class ReloadHold {
      public:
        explicit ReloadHold(QzDocument* document);
        ~ReloadHold();
        ReloadHold(const ReloadHold&) = delete;
        ReloadHold& operator=(const ReloadHold&) = delete;

      private:
        QzDocument* document_;
    };

    // The framework's part of the document: the path of the open file, empty for none.
    std::string pathName;
    // The loaded model; with "Cache subfiles" on it is also the cache of parts for the
    // next load.
    QzModel model;
    // Where loads look for the library and how strictly they check.
    QzLoadSettings settings;

    QzCmd pollMode = QzCmd::PollAsk;
    bool cacheSubfiles = true;
    uint32_t pollTimer = 0;
    plat::FileTime fileTime{0, 0};
    bool loading = false;
    bool asking = false;

    // Whether the last check found the model file missing.
    bool ModelFileMissing() const { return missing_; }

  private:
    void Release();
    // A check did not find the model file / found it (or a load read it).
    void MissingAtCheck();
    void ClearMissing();

    QzDocumentHost& host_;
    int holds_ = 0;
    bool pendingCheck_ = false;
    bool pendingPrompt_ = false;
    // The model file as the checks found it: missing since when, and whether that was
    // reported in a box.
    bool missing_ = false;
    uint32_t missingSince_ = 0;
    bool missingReported_ = false;
};
