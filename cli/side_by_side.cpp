// cli/side_by_side.cpp: running two pieces of the command's work at once.
#include "cli/side_by_side.h"

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>

namespace {

// Runs work, keeping what it throws for later.
void Caught(const std::function<void()>& work, std::exception_ptr* thrown) {
    try {
        work();
    } catch (...) {
        *thrown = std::current_exception();
    }
}

}  // namespace

void SideBySide(const std::function<void()>& first, const std::function<void()>& second) {
    std::exception_ptr firstThrew, secondThrew;
    std::thread beside;
    try {
        beside = std::thread(Caught, std::cref(first), &firstThrew);
    } catch (const std::system_error&) {
        Caught(first, &firstThrew);
    }
    Caught(second, &secondThrew);
    if (beside.joinable()) beside.join();
    if (firstThrew) std::rethrow_exception(firstThrew);
    if (secondThrew) std::rethrow_exception(secondThrew);
}

void EachSideBySide(size_t count, const std::function<void(size_t)>& work) {
    std::atomic<size_t> next{0};
    auto takeTurns = [&]() {
        for (size_t k = next++; k < count; k = next++) work(k);
    };
    if (count < 2) {
        takeTurns();
    } else {
        SideBySide(takeTurns, takeTurns);
    }
}
