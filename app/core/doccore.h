// The document of the program without its window: the path of the open model, its
// loading (with or without the subfiles read before), and the watch on the model file
// in one of four poll modes. The desktop document and the command line both load
// through it; what it needs of its surroundings (showing the input log, telling the
// views, a timer) comes through QzDocumentHost.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "commandids.h"
#include "files.h"

class QzDocumentHost {
  public:
    virtual ~QzDocumentHost() = default;
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
};

class QzDocument {
  public:
    static constexpr int kPollIntervalMs = 500;

    explicit QzDocument(QzDocumentHost& host) : host_(host) {}
    // Stops the timer. The loaded model stays: the program frees it when it ends.
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
    // asking first when prompt is set.
    void CheckForChange(bool prompt);
    void StartPollTimer();
    void StopPollTimer();
    void OnPollTimer();
    // The view was activated: in mode "Ask on activate", look for a change and ask.
    void OnViewActivated();

    // The File menu's document commands.
    void SetPollMode(int id);
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

    int pollMode = ID_POLL_ASK;
    bool cacheSubfiles = true;
    uint32_t pollTimer = 0;
    plat::FileTime fileTime{0, 0};
    bool loading = false;
    bool asking = false;
    // Whether loads record the model file's last-write time. The command line watches
    // nothing, and finds models in the library that are not where their path says.
    bool watchesFile = true;

  private:
    void Release();

    QzDocumentHost& host_;
    int holds_ = 0;
    bool pendingCheck_ = false;
    bool pendingPrompt_ = false;
};
