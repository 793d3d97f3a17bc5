#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What a partial file kept from a cut transfer needs for its rest to be asked for: the address it
// came from, the version its first answer named and the whole file's length. It lives beside the
// partial file, under the same private name with its own ending, so that whatever finds or
// removes the one finds or removes the other.
struct PartialRecord
{
    std::string strAddress;
    // The ETag or Last-Modified text that If-Range carries.
    std::string strValidator;
    // The whole file's length; 0 when the server named none.
    std::int64_t nExpected = 0;

    // The record's path for the partial file at `strPartialPath`.
    static std::string PathFor(const std::string& strPartialPath);
    // The record of the partial file at `strPartialPath`; empty when there is none or it cannot
    // be read whole.
    static std::optional<PartialRecord> Read(const std::string& strPartialPath);
    // Writes the record of the partial file at `strPartialPath`; false when it could not be
    // written whole (nothing is left then).
    [[nodiscard]] bool Write(const std::string& strPartialPath) const;
    // Deletes the partial file at `strPartialPath` and its record.
    static void Remove(const std::string& strPartialPath);
    // Deletes every kept partial file and its record anywhere under `strFolder`: those of a run
    // that reached its end are needed no more. Files without a record (a folder page being read)
    // are left alone. Gives the number of records removed.
    static size_t RemoveAllUnder(const std::string& strFolder);
};
