#include "link/USuperString.h"

#include <algorithm>

TSuperString::TSuperString(uint16_t granularity) : FGranularity(granularity == 0 ? 1 : granularity) {}

uint8_t TSuperString::At(uint16_t index) const
{
    return index < FData.size() ? static_cast<uint8_t>(FData[index]) : 0;
}

uint8_t TSuperString::Last() const
{
    return FData.empty() ? 0 : static_cast<uint8_t>(FData.back());
}

bool TSuperString::Reserve(size_t length)
{
    if (length > MaxLength)
        return false;
    if (length > FCapacity) {
        size_t steps = (length + FGranularity - 1) / FGranularity;
        size_t capacity = std::min<size_t>(steps * FGranularity, MaxLength);
        FData.reserve(capacity);
        FCapacity = static_cast<uint16_t>(capacity);
    }
    return true;
}

bool TSuperString::Append(uint8_t byte)
{
    if (!Reserve(FData.size() + 1))
        return false;
    FData.push_back(static_cast<char>(byte));
    return true;
}

bool TSuperString::Append(std::string_view bytes)
{
    if (!Reserve(FData.size() + bytes.size()))
        return false;
    FData.insert(FData.end(), bytes.begin(), bytes.end());
    return true;
}

void TSuperString::Clear()
{
    FData.clear();
}

std::string TSuperString::Substring(uint16_t pos, uint16_t count) const
{
    if (pos >= FData.size())
        return {};
    size_t n = std::min<size_t>(count, FData.size() - pos);
    return std::string(FData.begin() + pos, FData.begin() + pos + n);
}

void TSuperString::KeepFrom(uint16_t pos)
{
    if (pos >= FData.size())
        FData.clear();
    else
        FData.erase(FData.begin(), FData.begin() + pos);
}
