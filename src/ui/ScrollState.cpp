#include "ui/ScrollState.h"

#include <algorithm>

void CScrollState::Initialize(int designWidth, int designHeight)
{
    m_x = 0;
    m_y = 0;
    m_designWidth = designWidth;
    m_designHeight = designHeight;
    m_initialized = true;
}

void CScrollState::Resize(int clientWidth, int clientHeight)
{
    if (!m_initialized)
        return;
    m_x = 0;
    m_y = 0;
    const int rangeX = (m_designWidth - clientWidth) / kStepX;
    m_rangeY = (m_designHeight - clientHeight) / kStepY;
    m_maxX = std::max(rangeX, 0);
    m_maxY = std::max(m_rangeY, 0);
    m_x = std::min(m_x, m_maxX);
    m_y = std::min(m_y, m_maxY);
}

int CScrollState::Clamp(int change, int position, int maximum)
{
    return std::clamp(position + change, 0, maximum) - position;
}

int CScrollState::Step(Command command, int thumb, int position, int maximum, int pageUp,
                       int pageDown)
{
    int change = 0;
    switch (command)
    {
    case LineUp:
        change = -1;
        break;
    case LineDown:
        change = 1;
        break;
    case PageUp:
        change = pageUp;
        break;
    case PageDown:
        change = pageDown;
        break;
    case ThumbTrack:
        change = thumb - position;
        break;
    case Top:
        change = -position;
        break;
    case Bottom:
        change = maximum - position;
        break;
    case Other:
        break;
    }
    return Clamp(change, position, maximum);
}

int CScrollState::ScrollHorizontal(Command command, int thumb)
{
    const int change = Step(command, thumb, m_x, m_maxX, -8, 8);
    m_x += change;
    return change;
}

int CScrollState::ScrollVertical(Command command, int thumb)
{
    // A page is the whole extra height, so page up and down go to the ends.
    const int change =
        Step(command, thumb, m_y, m_maxY, m_rangeY > 0 ? -m_rangeY : -1, std::max(m_rangeY, 1));
    m_y += change;
    return change;
}
