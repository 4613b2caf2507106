#include "scriptedengine.h"

#include <QTimer>

namespace mavrel::test {
namespace {

class ScriptedPlayback final : public EnginePlayback
{
public:
    ScriptedPlayback(ScriptedEngine &engine, ScriptedEngine::Script script)
        : m_engine(engine), m_script(script)
    {}

    bool play() override
    {
        using O = ScriptedEngine::Outcome;
        switch (m_script.outcome) {
        case O::RefusesPlay:
            return false;
        case O::Fails:
            later(EngineEvent::Error);
            break;
        case O::Plays:
        case O::PlaysSilent:
        case O::EndsEmpty:
            for (int i = 0; i < m_script.buffering.size(); ++i) {
                QTimer::singleShot(m_script.delayMs * (i + 1), this,
                                   [this, i] { emit buffering(m_script.buffering[i]); });
            }
            later(EngineEvent::Playing, int(m_script.buffering.size()) + 1);
            later(EngineEvent::TrackAdded, int(m_script.buffering.size()) + 1);
            if (!m_script.nowPlaying.isEmpty())
                later(EngineEvent::MetaChanged, int(m_script.buffering.size()) + 2);
            if (m_script.outcome == O::EndsEmpty)
                later(EngineEvent::EndReached, 2);
            break;
        default:
            break;
        }
        return true;
    }
    void setPaused(bool paused) override
    {
        if (!m_script.pausable)
            return;
        ++m_engine.pauseCalls;
        m_engine.lastPaused = paused;
        m_paused = paused;
        if (paused)
            later(EngineEvent::Paused);
    }
    bool canPause() const override { return m_script.pausable; }
    bool isSeekable() const override { return false; }
    double position() const override { return -1; }
    void setPosition(double) override {}
    bool hasDecoded() const override
    {
        // Counts what was decoded so far: nothing before it starts, nothing while it is held.
        if (m_script.outcome == ScriptedEngine::Outcome::Plays && m_started && !m_paused)
            m_decoded = true;
        return m_decoded;
    }
    void setAudio(int, bool muted) override { m_engine.lastMuted = muted; }
    QString nowPlaying() const override { return m_started ? m_script.nowPlaying : QString(); }

private:
    void later(EngineEvent e, int factor = 1)
    {
        QTimer::singleShot(m_script.delayMs * factor, this, [this, e] {
            if (e == EngineEvent::Playing)
                m_started = true;
            emit engineEvent(e);
        });
    }

    ScriptedEngine &m_engine;
    ScriptedEngine::Script m_script;
    bool m_paused = false;
    bool m_started = false;
    mutable bool m_decoded = false;
};

} // namespace

std::unique_ptr<EnginePlayback> ScriptedEngine::open(const QUrl &url, quintptr)
{
    const QString key = url.toString();
    opened.append(key);
    const Script script = m_scripts.value(key);
    if (script.outcome == Outcome::RefusesOpen)
        return nullptr;
    return std::make_unique<ScriptedPlayback>(*this, script);
}

} // namespace mavrel::test
