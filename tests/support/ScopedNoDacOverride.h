#pragma once

// Tests run as root on CI, and root writes through permission bits. While this object lives the
// process drops the capabilities that let it, so a read-only file or folder is read-only for the
// test too. Restored on destruction.
class CScopedNoDacOverride
{
public:
    CScopedNoDacOverride();
    ~CScopedNoDacOverride();
    CScopedNoDacOverride(const CScopedNoDacOverride&) = delete;
    CScopedNoDacOverride& operator=(const CScopedNoDacOverride&) = delete;

private:
    bool m_bChanged = false;
    unsigned m_savedEffective[2] = {0, 0};
};
