#pragma once

#include "player/mediaengine.h"

#include <QHash>
#include <QStringList>

namespace mavrel::test {

// A media engine that does, per address, what a script says: lets the session's rules be tested
// for outcomes a real engine gives only rarely or slowly.
class ScriptedEngine : public MediaEngine
{
public:
    enum class Outcome
    {
        Plays,       // opens, finds a track, decodes
        PlaysSilent, // opens and finds a track, but nothing is ever decoded
        Fails,       // reports an error
        Hangs,       // stays opening, says nothing
        RefusesOpen, // the engine cannot take the address
        RefusesPlay, // play() fails at once
        EndsEmpty,   // plays and ends with nothing decoded
    };
    struct Script
    {
        Outcome outcome = Outcome::Fails;
        bool pausable = true;
        int delayMs = 5;
        // Sent before it plays, in order; then the title it announces once playing, if any.
        QList<int> buffering;
        QString nowPlaying;
    };

    void setScript(const QString &url, Script script) { m_scripts.insert(url, script); }
    std::unique_ptr<EnginePlayback> open(const QUrl &url, quintptr videoWindow) override;

    // Every address opened, in order.
    QStringList opened;
    // What the last playback was told.
    bool lastPaused = false;
    bool lastMuted = false;
    int pauseCalls = 0;

private:
    QHash<QString, Script> m_scripts;
};

} // namespace mavrel::test
