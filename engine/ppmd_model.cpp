#include "engine/ppmd_model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint32_t kUnitSize = 12;
constexpr std::uint32_t kStateSize = 6;
constexpr unsigned kIndexes = 38;
constexpr unsigned kMaxFreq = 124;
constexpr unsigned kIntBits = 7;
constexpr unsigned kPeriodBits = 7;
constexpr unsigned kBinScale = 1U << 14;
constexpr std::uint32_t kTop = 1U << 24;
constexpr std::uint32_t kBot = 1U << 15;
constexpr std::uint32_t kEmptyNode = 0xFFFFFFFF;
// Below the text area: reference 0 stays "none", and a bad reference has
// somewhere harmless to point.
constexpr std::uint32_t kOrigin = 16;
// Room past the end for the widest read a bad reference could make.
constexpr std::uint32_t kSlack = 256 * kStateSize;
// Contexts of this order or lower survive a cut even without successors.
constexpr unsigned kKeptOrder = 9;

constexpr std::uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};
constexpr std::uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                          0x64A1, 0x5ABC, 0x6632, 0x6051};

// The lookup tables of the model, the same for every stream.
struct Tables {
    std::uint8_t indexToUnits[kIndexes];
    std::uint8_t unitsToIndex[128];
    // Binary contexts: which probability row a suffix of so many symbols
    // picks; escapes: which SEE row a context of so many symbols picks.
    std::uint8_t symbolsToBinIndex[256];
    std::uint8_t symbolsToIndex[260];

    Tables() {
        // Block sizes in units: 1-4 by one, to 12 by two, to 24 by three,
        // to 128 by four.
        unsigned k = 0;
        for (unsigned i = 0; i < kIndexes; ++i) {
            unsigned step = i >= 12 ? 4 : (i >> 2) + 1;
            do
                unitsToIndex[k++] = static_cast<std::uint8_t>(i);
            while (--step != 0);
            indexToUnits[i] = static_cast<std::uint8_t>(k);
        }
        symbolsToBinIndex[0] = 0;
        symbolsToBinIndex[1] = 2;
        std::memset(symbolsToBinIndex + 2, 4, 9);
        std::memset(symbolsToBinIndex + 11, 6, 256 - 11);
        unsigned i = 0;
        for (; i < 5; ++i)
            symbolsToIndex[i] = static_cast<std::uint8_t>(i);
        for (unsigned m = i, left = 1; i < 260; ++i) {
            symbolsToIndex[i] = static_cast<std::uint8_t>(m);
            if (--left == 0)
                left = ++m - 4;
        }
    }
};

const Tables& Table() {
    static const Tables tables;
    return tables;
}

unsigned IndexToUnits(unsigned index) {
    return Table().indexToUnits[index];
}
unsigned UnitsToIndex(unsigned units) {
    return Table().unitsToIndex[units - 1];
}
std::uint32_t UnitsToBytes(unsigned units) {
    return units * kUnitSize;
}

// An adaptive probability's mean and its two updates, in 1/2^14.
unsigned Mean(unsigned summ) {
    return (summ + (1U << (kPeriodBits - 2))) >> kPeriodBits;
}

} // namespace

void CPpmdModel::FreeHeap::operator()(std::uint8_t* heap) const {
    std::free(heap);
}

CPpmdModel::CPpmdModel() = default;
CPpmdModel::~CPpmdModel() = default;

bool CPpmdModel::Allocate(std::uint32_t memorySize) {
    // calloc: pages the model never reaches are never touched.
    m_heap.reset(static_cast<std::uint8_t*>(std::calloc(kOrigin + memorySize + kSlack, 1)));
    m_size = memorySize;
    m_heapEnd = kOrigin + memorySize;
    return m_heap != nullptr;
}

std::uint16_t CPpmdModel::Get16(std::uint32_t ref) const {
    return static_cast<std::uint16_t>(m_heap.get()[ref] | m_heap.get()[ref + 1] << 8);
}
void CPpmdModel::Set16(std::uint32_t ref, std::uint32_t value) {
    m_heap.get()[ref] = static_cast<std::uint8_t>(value);
    m_heap.get()[ref + 1] = static_cast<std::uint8_t>(value >> 8);
}
std::uint32_t CPpmdModel::Get32(std::uint32_t ref) const {
    std::uint32_t value;
    std::memcpy(&value, m_heap.get() + ref, 4);
    return value;
}
void CPpmdModel::Set32(std::uint32_t ref, std::uint32_t value) {
    std::memcpy(m_heap.get() + ref, &value, 4);
}

std::uint32_t CPpmdModel::Checked(std::uint32_t ref, std::uint32_t size) {
    if (ref < kOrigin || ref > m_heapEnd || size > m_heapEnd - ref) [[unlikely]] {
        m_broken = true;
        return kOrigin;
    }
    return ref;
}

void CPpmdModel::CopyState(std::uint32_t to, std::uint32_t from) {
    std::memmove(m_heap.get() + to, m_heap.get() + from, kStateSize);
}

void CPpmdModel::SwapStates(std::uint32_t a, std::uint32_t b) {
    std::uint8_t held[kStateSize];
    std::memcpy(held, m_heap.get() + a, kStateSize);
    std::memmove(m_heap.get() + a, m_heap.get() + b, kStateSize);
    std::memcpy(m_heap.get() + b, held, kStateSize);
}

std::uint32_t CPpmdModel::FindState(std::uint32_t ctx, unsigned symbol) {
    const std::uint32_t stats = Checked(Stats(ctx), (NumStats(ctx) + 1U) * kStateSize);
    for (unsigned i = 0; i <= NumStats(ctx); ++i)
        if (Symbol(stats + i * kStateSize) == symbol)
            return stats + i * kStateSize;
    // The symbol came from this context's child: it must be here.
    m_broken = true;
    return stats;
}

// ---- The sub-allocator: free blocks of 1 to 128 units in 38 lists.

void CPpmdModel::InsertNode(std::uint32_t node, unsigned index) {
    Set32(node, kEmptyNode);
    Set32(node + 4, m_freeList[index]);
    Set32(node + 8, IndexToUnits(index));
    m_freeList[index] = node;
    ++m_stamps[index];
}

std::uint32_t CPpmdModel::RemoveNode(unsigned index) {
    const std::uint32_t node = Checked(m_freeList[index], kUnitSize);
    m_freeList[index] = Get32(node + 4);
    --m_stamps[index];
    return node;
}

void CPpmdModel::FreeRun(std::uint32_t block, unsigned units) {
    // A size no list holds: the largest that fits, and the rest.
    unsigned index = UnitsToIndex(units);
    if (IndexToUnits(index) != units) {
        const unsigned fitting = IndexToUnits(--index);
        InsertNode(block + UnitsToBytes(fitting), units - fitting - 1);
    }
    InsertNode(block, index);
}

void CPpmdModel::SplitBlock(std::uint32_t block, unsigned oldIndex, unsigned newIndex) {
    FreeRun(block + UnitsToBytes(IndexToUnits(newIndex)),
            IndexToUnits(oldIndex) - IndexToUnits(newIndex));
}

void CPpmdModel::GlueFreeBlocks() {
    m_glueCount = 1U << 13;
    std::memset(m_stamps, 0, sizeof m_stamps);
    // The root context is always the top unit, so a run of free blocks
    // cannot run off the end; below the units still unused one can.
    if (m_loUnit != m_hiUnit)
        Set32(m_loUnit, 0);

    // Every free block takes in the free blocks right above it; the ones
    // taken in are left with no units. The survivors are chained through
    // their links, starting at `head`.
    std::uint32_t head = 0;
    std::uint32_t last = 0;
    for (unsigned i = 0; i < kIndexes; ++i) {
        std::uint32_t next = m_freeList[i];
        m_freeList[i] = 0;
        while (next != 0) {
            const std::uint32_t node = Checked(next, kUnitSize);
            if (m_broken)
                return;
            if (Get32(node + 8) != 0) {
                if (last == 0)
                    head = next;
                else
                    Set32(last + 4, next);
                last = node;
                for (;;) {
                    const std::uint64_t above = node + std::uint64_t{Get32(node + 8)} * kUnitSize;
                    if (above + kUnitSize > m_heapEnd ||
                        Get32(static_cast<std::uint32_t>(above)) != kEmptyNode)
                        break;
                    const auto neighbour = static_cast<std::uint32_t>(above);
                    Set32(node + 8, Get32(node + 8) + Get32(neighbour + 8));
                    Set32(neighbour + 8, 0);
                }
            }
            next = Get32(node + 4);
        }
    }
    if (last != 0)
        Set32(last + 4, 0);

    // Back into the lists, cut into sizes the lists hold.
    while (head != 0) {
        std::uint32_t node = Checked(head, kUnitSize);
        if (m_broken)
            return;
        head = Get32(node + 4);
        unsigned units = Get32(node + 8);
        if (units == 0)
            continue;
        for (; units > 128; units -= 128, node += UnitsToBytes(128))
            InsertNode(node, kIndexes - 1);
        FreeRun(node, units);
    }
}

std::uint32_t CPpmdModel::AllocUnitsRare(unsigned index) {
    if (m_glueCount == 0) {
        GlueFreeBlocks();
        if (m_freeList[index] != 0)
            return RemoveNode(index);
    }
    unsigned i = index;
    do {
        if (++i == kIndexes) {
            // No larger block: take the units from the top of the text.
            const std::uint32_t bytes = UnitsToBytes(IndexToUnits(index));
            --m_glueCount;
            if (m_unitsStart - m_text > bytes) {
                m_unitsStart -= bytes;
                return m_unitsStart;
            }
            return 0;
        }
    } while (m_freeList[i] == 0);
    const std::uint32_t block = RemoveNode(i);
    SplitBlock(block, i, index);
    return block;
}

std::uint32_t CPpmdModel::AllocUnits(unsigned index) {
    if (m_freeList[index] != 0)
        return RemoveNode(index);
    const std::uint32_t bytes = UnitsToBytes(IndexToUnits(index));
    if (bytes <= m_hiUnit - m_loUnit) {
        const std::uint32_t block = m_loUnit;
        m_loUnit += bytes;
        return block;
    }
    return AllocUnitsRare(index);
}

std::uint32_t CPpmdModel::AllocContext() {
    if (m_hiUnit != m_loUnit) {
        m_hiUnit -= kUnitSize;
        return m_hiUnit;
    }
    if (m_freeList[0] != 0)
        return RemoveNode(0);
    return AllocUnitsRare(0);
}

std::uint32_t CPpmdModel::ShrinkUnits(std::uint32_t block, unsigned oldUnits, unsigned newUnits) {
    const unsigned oldIndex = UnitsToIndex(oldUnits);
    const unsigned newIndex = UnitsToIndex(newUnits);
    if (oldIndex == newIndex)
        return block;
    if (m_freeList[newIndex] != 0) {
        const std::uint32_t moved = RemoveNode(newIndex);
        std::memmove(m_heap.get() + moved, m_heap.get() + block, UnitsToBytes(newUnits));
        InsertNode(block, oldIndex);
        return moved;
    }
    SplitBlock(block, oldIndex, newIndex);
    return block;
}

std::uint32_t CPpmdModel::MoveUnitsUp(std::uint32_t block, unsigned units) {
    const unsigned index = UnitsToIndex(units);
    if (block > m_unitsStart + 16 * 1024 || block > m_freeList[index])
        return block;
    const std::uint32_t moved = RemoveNode(index);
    std::memmove(m_heap.get() + moved, m_heap.get() + block, UnitsToBytes(units));
    if (block != m_unitsStart)
        InsertNode(block, index);
    else
        m_unitsStart += UnitsToBytes(IndexToUnits(index));
    return moved;
}

void CPpmdModel::SpecialFreeUnit(std::uint32_t unit) {
    if (unit != m_unitsStart)
        InsertNode(unit, 0);
    else
        m_unitsStart += kUnitSize;
}

void CPpmdModel::ExpandTextArea() {
    // Free blocks right at the start of the units go back to the text.
    std::uint32_t count[kIndexes] = {};
    if (m_loUnit != m_hiUnit)
        Set32(m_loUnit, 0);
    std::uint32_t node = m_unitsStart;
    while (node + kUnitSize <= m_heapEnd && Get32(node) == kEmptyNode) {
        const std::uint32_t units = Get32(node + 8);
        if (units == 0 || units > 128) {
            m_broken = true;
            return;
        }
        Set32(node, 0);
        ++count[UnitsToIndex(units)];
        node += UnitsToBytes(units);
    }
    m_unitsStart = node;

    for (unsigned i = 0; i < kIndexes; ++i) {
        // Unlinks the nodes given back; `linkNode` is the node whose link
        // leads on (none: the list's head).
        std::uint32_t* head = &m_freeList[i];
        std::uint32_t linkNode = 0;
        while (count[i] != 0) {
            std::uint32_t next = linkNode == 0 ? *head : Get32(linkNode + 4);
            std::uint32_t current = Checked(next, kUnitSize);
            if (m_broken)
                return;
            while (Get32(current) == 0) {
                next = Get32(current + 4);
                if (linkNode == 0)
                    *head = next;
                else
                    Set32(linkNode + 4, next);
                --m_stamps[i];
                if (--count[i] == 0)
                    break;
                current = Checked(next, kUnitSize);
                if (m_broken)
                    return;
            }
            linkNode = current;
        }
    }
}

std::uint32_t CPpmdModel::UsedMemory() const {
    std::uint32_t freeUnits = 0;
    for (unsigned i = 0; i < kIndexes; ++i)
        freeUnits += m_stamps[i] * IndexToUnits(i);
    return m_size - (m_hiUnit - m_loUnit) - (m_unitsStart - m_text) - UnitsToBytes(freeUnits);
}

// ---- The model.

void CPpmdModel::Start(unsigned maxOrder, unsigned restoreMethod) {
    m_maxOrder = maxOrder;
    m_restoreMethod = restoreMethod;
    m_broken = false;
    RestartModel();
    m_dummySee = {0, kPeriodBits, 64};
}

void CPpmdModel::RestartModel() {
    std::memset(m_freeList, 0, sizeof m_freeList);
    std::memset(m_stamps, 0, sizeof m_stamps);
    m_text = kOrigin;
    m_hiUnit = m_text + m_size;
    m_loUnit = m_unitsStart = m_hiUnit - m_size / 8 / kUnitSize * 7 * kUnitSize;
    m_glueCount = 0;

    m_orderFall = m_maxOrder;
    m_runLength = m_initRunLength = -static_cast<std::int32_t>(std::min(m_maxOrder, 12U)) - 1;
    m_prevSuccess = 0;

    // The root: all 256 symbols once.
    m_hiUnit -= kUnitSize;
    m_minContext = m_maxContext = m_hiUnit;
    Set32(m_minContext + 8, 0);
    NumStats(m_minContext) = 255;
    Flags(m_minContext) = 0;
    SetSummFreq(m_minContext, 256 + 1);
    m_foundState = m_loUnit;
    SetStats(m_minContext, m_foundState);
    m_loUnit += UnitsToBytes(256 / 2);
    for (unsigned i = 0; i < 256; ++i) {
        const std::uint32_t state = m_foundState + i * kStateSize;
        Symbol(state) = static_cast<std::uint8_t>(i);
        Freq(state) = 1;
        SetSuccessor(state, 0);
    }

    // A row serves binary contexts of several frequencies: it starts from
    // the escape estimate of the highest of them.
    for (unsigned row = 0, last = 0; row < 25; ++row) {
        while (Table().symbolsToIndex[last + 1] == row)
            ++last;
        for (unsigned k = 0; k < 8; ++k) {
            const auto value = static_cast<std::uint16_t>(kBinScale - kInitBinEsc[k] / (last + 2));
            for (unsigned m = 0; m < 64; m += 8)
                m_binSumm[row][k + m] = value;
        }
    }
    // Likewise a SEE row serves contexts of several sizes: it starts from
    // the escape estimate of the largest.
    for (unsigned row = 0, last = 3; row < 24; ++row) {
        while (Table().symbolsToIndex[last + 1] == row + 3)
            ++last;
        for (unsigned k = 0; k < 32; ++k)
            m_see[row][k] = {static_cast<std::uint16_t>((2 * last + 1) << (kPeriodBits - 4)),
                             kPeriodBits - 4, 7};
    }
}

void CPpmdModel::Refresh(std::uint32_t ctx, unsigned oldUnits, unsigned scale) {
    unsigned left = NumStats(ctx);
    std::uint32_t state = ShrinkUnits(Stats(ctx), oldUnits, (left + 2) >> 1);
    SetStats(ctx, state);
    // A sum this large would overflow once more symbols come.
    scale |= SummFreq(ctx) >= 1U << 15 ? 1U : 0U;
    unsigned flags = (Flags(ctx) & (0x10 + 0x04 * scale)) + 0x08 * (Symbol(state) >= 0x40);
    unsigned escFreq = SummFreq(ctx) - Freq(state);
    Freq(state) = static_cast<std::uint8_t>((Freq(state) + scale) >> scale);
    unsigned sumFreq = Freq(state);
    do {
        state += kStateSize;
        escFreq -= Freq(state);
        Freq(state) = static_cast<std::uint8_t>((Freq(state) + scale) >> scale);
        sumFreq += Freq(state);
        flags |= 0x08 * (Symbol(state) >= 0x40);
    } while (--left != 0);
    SetSummFreq(ctx, sumFreq + ((escFreq + scale) >> scale));
    Flags(ctx) = static_cast<std::uint8_t>(flags);
}

std::uint32_t CPpmdModel::CutOff(std::uint32_t ctx, unsigned order) {
    if (m_broken)
        return 0;
    if (NumStats(ctx) == 0) {
        const std::uint32_t state = OneState(ctx);
        if (Successor(state) >= m_unitsStart) {
            if (order < m_maxOrder)
                SetSuccessor(state, CutOff(Checked(Successor(state), kUnitSize), order + 1));
            else
                SetSuccessor(state, 0);
            if (Successor(state) != 0 || order <= kKeptOrder)
                return ctx;
        }
        SpecialFreeUnit(ctx);
        return 0;
    }
    const unsigned units = (NumStats(ctx) + 2U) >> 1;
    SetStats(ctx, MoveUnitsUp(Checked(Stats(ctx), UnitsToBytes(units)), units));
    int kept = NumStats(ctx);
    const std::uint32_t stats = Stats(ctx);
    for (int i = kept; i >= 0; --i) {
        const std::uint32_t state = stats + static_cast<std::uint32_t>(i) * kStateSize;
        if (Successor(state) < m_unitsStart) {
            // Successors into the text are gone: the symbol goes last.
            SetSuccessor(state, 0);
            SwapStates(state, stats + static_cast<std::uint32_t>(kept--) * kStateSize);
        } else if (order < m_maxOrder) {
            SetSuccessor(state, CutOff(Checked(Successor(state), kUnitSize), order + 1));
        } else {
            SetSuccessor(state, 0);
        }
    }
    if (kept != NumStats(ctx) && order != 0) {
        NumStats(ctx) = static_cast<std::uint8_t>(kept);
        if (kept < 0) {
            InsertNode(stats, UnitsToIndex(units));
            SpecialFreeUnit(ctx);
            return 0;
        }
        if (kept == 0) {
            Flags(ctx) =
                static_cast<std::uint8_t>((Flags(ctx) & 0x10) + 0x08 * (Symbol(stats) >= 0x40));
            CopyState(OneState(ctx), stats);
            InsertNode(stats, UnitsToIndex(units));
            Freq(OneState(ctx)) = static_cast<std::uint8_t>((Freq(OneState(ctx)) + 11) >> 3);
        } else {
            Refresh(ctx, units, SummFreq(ctx) > 16 * static_cast<unsigned>(kept) ? 1U : 0U);
        }
    }
    return ctx;
}

void CPpmdModel::RestoreModel(std::uint32_t stopAt) {
    // The contexts above `stopAt` already took the new symbol: it goes
    // again. Then the text restarts, and so does the model, or the model
    // is cut back to make room.
    m_text = kOrigin;
    std::uint32_t ctx = m_maxContext;
    for (unsigned guard = 0; ctx != stopAt && !m_broken; ctx = Suffix(ctx)) {
        ctx = Checked(ctx, kUnitSize);
        if (++guard > kMaxOrder + 1) {
            m_broken = true;
            return;
        }
        if (--NumStats(ctx) == 0) {
            const std::uint32_t state = Stats(ctx);
            Flags(ctx) =
                static_cast<std::uint8_t>((Flags(ctx) & 0x10) + 0x08 * (Symbol(state) >= 0x40));
            CopyState(OneState(ctx), state);
            SpecialFreeUnit(state);
            Freq(OneState(ctx)) = static_cast<std::uint8_t>((Freq(OneState(ctx)) + 11) >> 3);
        } else {
            Refresh(ctx, (NumStats(ctx) + 3U) >> 1, 0);
        }
    }
    for (unsigned guard = 0; ctx != m_minContext && !m_broken; ctx = Suffix(ctx)) {
        ctx = Checked(ctx, kUnitSize);
        if (++guard > kMaxOrder + 1) {
            m_broken = true;
            return;
        }
        if (NumStats(ctx) == 0) {
            Freq(OneState(ctx)) =
                static_cast<std::uint8_t>(Freq(OneState(ctx)) - (Freq(OneState(ctx)) >> 1));
        } else {
            SetSummFreq(ctx, SummFreq(ctx) + 4);
            if (SummFreq(ctx) > 128 + 4 * NumStats(ctx))
                Refresh(ctx, (NumStats(ctx) + 2U) >> 1, 1);
        }
    }
    if (m_broken)
        return;

    if (m_restoreMethod == 0 || UsedMemory() < (m_size >> 1)) {
        RestartModel();
        return;
    }
    while (Suffix(m_maxContext) != 0)
        m_maxContext = Checked(Suffix(m_maxContext), kUnitSize);
    do {
        CutOff(m_maxContext, 0);
        ExpandTextArea();
    } while (!m_broken && UsedMemory() > 3 * (m_size >> 2));
    m_glueCount = 0;
    m_orderFall = m_maxOrder;
}

std::uint32_t CPpmdModel::CreateSuccessors(bool skip, std::uint32_t firstState, std::uint32_t ctx) {
    const std::uint32_t upBranch = Successor(m_foundState);
    std::uint32_t states[kMaxOrder + 1];
    unsigned count = 0;
    if (!skip)
        states[count++] = m_foundState;
    const unsigned symbol = Symbol(m_foundState);
    while (Suffix(ctx) != 0) {
        ctx = Checked(Suffix(ctx), kUnitSize);
        std::uint32_t state;
        if (firstState != 0) {
            state = firstState;
            firstState = 0;
        } else if (NumStats(ctx) != 0) {
            state = FindState(ctx, symbol);
            if (Freq(state) < kMaxFreq - 9) {
                ++Freq(state);
                SetSummFreq(ctx, SummFreq(ctx) + 1);
            }
        } else {
            state = OneState(ctx);
            const std::uint32_t suffix = Checked(Suffix(ctx), kUnitSize);
            Freq(state) = static_cast<std::uint8_t>(
                Freq(state) + (NumStats(suffix) == 0 && Freq(state) < 24 ? 1 : 0));
        }
        const std::uint32_t successor = Successor(state);
        if (successor != upBranch) {
            ctx = Checked(successor, kUnitSize);
            if (count == 0)
                return ctx;
            break;
        }
        if (count == kMaxOrder + 1 || m_broken) {
            m_broken = true;
            return 0;
        }
        states[count++] = state;
    }
    if (count == 0)
        return ctx;

    // The new contexts know one symbol: the one that followed in the text,
    // with a frequency inherited from the context they hang under.
    const std::uint32_t textAt = Checked(upBranch, 1);
    const unsigned upSymbol = Byte(textAt);
    const std::uint8_t flags =
        static_cast<std::uint8_t>(0x10 * (symbol >= 0x40) + 0x08 * (upSymbol >= 0x40));
    unsigned upFreq;
    if (NumStats(ctx) == 0) {
        upFreq = Freq(OneState(ctx));
    } else {
        const std::uint32_t state = FindState(ctx, upSymbol);
        const unsigned cf = Freq(state) - 1U;
        const unsigned s0 = SummFreq(ctx) - NumStats(ctx) - cf;
        if (s0 == 0 || s0 > 0xFFFF) {
            m_broken = true;
            return 0;
        }
        upFreq = 1 + ((2 * cf <= s0) ? (5 * cf > s0 ? 1 : 0) : ((cf + 2 * s0 - 3) / s0));
    }

    do {
        const std::uint32_t child = AllocContext();
        if (child == 0)
            return 0;
        NumStats(child) = 0;
        Flags(child) = flags;
        Symbol(OneState(child)) = static_cast<std::uint8_t>(upSymbol);
        Freq(OneState(child)) = static_cast<std::uint8_t>(upFreq);
        SetSuccessor(OneState(child), upBranch + 1);
        Set32(child + 8, ctx);
        SetSuccessor(states[--count], child);
        ctx = child;
    } while (count != 0);
    return ctx;
}

std::uint32_t CPpmdModel::ReduceOrder(std::uint32_t firstState, std::uint32_t ctx) {
    const std::uint32_t start = ctx;
    const std::uint32_t upBranch = m_text;
    const unsigned symbol = Symbol(m_foundState);
    std::uint32_t state = 0;
    SetSuccessor(m_foundState, upBranch);
    ++m_orderFall;
    for (unsigned guard = 0;; ++guard) {
        if (guard > kMaxOrder + 1 || m_broken) {
            m_broken = true;
            return 0;
        }
        if (firstState != 0) {
            ctx = Checked(Suffix(ctx), kUnitSize);
            state = firstState;
            firstState = 0;
        } else {
            if (Suffix(ctx) == 0)
                return ctx;
            ctx = Checked(Suffix(ctx), kUnitSize);
            if (NumStats(ctx) != 0) {
                state = FindState(ctx, symbol);
                if (Freq(state) < kMaxFreq - 9) {
                    Freq(state) = static_cast<std::uint8_t>(Freq(state) + 2);
                    SetSummFreq(ctx, SummFreq(ctx) + 2);
                }
            } else {
                state = OneState(ctx);
                Freq(state) = static_cast<std::uint8_t>(Freq(state) + (Freq(state) < 32 ? 1 : 0));
            }
        }
        if (Successor(state) != 0)
            break;
        SetSuccessor(state, upBranch);
        ++m_orderFall;
    }

    if (Successor(state) <= upBranch) {
        const std::uint32_t found = m_foundState;
        m_foundState = state;
        const std::uint32_t successor = CreateSuccessors(false, 0, ctx);
        SetSuccessor(state, successor);
        m_foundState = found;
    }
    if (m_orderFall == 1 && start == m_maxContext) {
        SetSuccessor(m_foundState, Successor(state));
        --m_text;
    }
    return Successor(state);
}

void CPpmdModel::UpdateModel() {
    const std::uint32_t found = m_foundState;
    std::uint32_t fSuccessor = Successor(found);
    const unsigned fFreq = Freq(found);
    const unsigned fSymbol = Symbol(found);
    std::uint32_t suffixState = 0;

    if (fFreq < kMaxFreq / 4 && Suffix(m_minContext) != 0) {
        // The shorter context saw the symbol too.
        const std::uint32_t ctx = Checked(Suffix(m_minContext), kUnitSize);
        if (NumStats(ctx) == 0) {
            suffixState = OneState(ctx);
            if (Freq(suffixState) < 32)
                ++Freq(suffixState);
        } else {
            suffixState = FindState(ctx, fSymbol);
            if (suffixState != Stats(ctx) && Freq(suffixState) >= Freq(suffixState - kStateSize)) {
                SwapStates(suffixState, suffixState - kStateSize);
                suffixState -= kStateSize;
            }
            if (Freq(suffixState) < kMaxFreq - 9) {
                Freq(suffixState) = static_cast<std::uint8_t>(Freq(suffixState) + 2);
                SetSummFreq(ctx, SummFreq(ctx) + 2);
            }
        }
    }

    std::uint32_t ctx = m_maxContext;
    if (m_orderFall == 0 && fSuccessor != 0) {
        const std::uint32_t made = CreateSuccessors(true, suffixState, m_minContext);
        if (m_broken)
            return;
        if (made == 0) {
            SetSuccessor(found, 0);
            RestoreModel(ctx);
        } else {
            SetSuccessor(found, made);
            m_maxContext = made;
        }
        return;
    }

    Byte(m_text++) = static_cast<std::uint8_t>(fSymbol);
    std::uint32_t successor = m_text;
    if (m_text >= m_unitsStart) {
        RestoreModel(ctx);
        return;
    }

    if (fSuccessor < m_unitsStart) {
        // No context follows the symbol yet (none, or only the text where
        // it was seen): one is found at a lower order or made.
        const std::uint32_t made = fSuccessor == 0
                                       ? ReduceOrder(suffixState, m_minContext)
                                       : CreateSuccessors(false, suffixState, m_minContext);
        if (m_broken)
            return;
        if (made == 0) {
            RestoreModel(ctx);
            return;
        }
        fSuccessor = made;
    }

    if (--m_orderFall == 0) {
        successor = fSuccessor;
        if (m_maxContext != m_minContext)
            --m_text;
    }

    const unsigned ns = NumStats(m_minContext);
    const unsigned s0 = SummFreq(m_minContext) - ns - fFreq;
    const std::uint8_t flag = static_cast<std::uint8_t>(0x08 * (fSymbol >= 0x40));
    for (unsigned guard = 0; ctx != m_minContext; ctx = Checked(Suffix(ctx), kUnitSize)) {
        if (++guard > kMaxOrder + 1 || m_broken) {
            m_broken = true;
            return;
        }
        const unsigned ns1 = NumStats(ctx);
        if (ns1 != 0) {
            if ((ns1 & 1) != 0) {
                // An even count of states fills its units: one unit more.
                const unsigned oldUnits = (ns1 + 1) >> 1;
                const unsigned index = UnitsToIndex(oldUnits);
                if (index != UnitsToIndex(oldUnits + 1)) {
                    const std::uint32_t grown = AllocUnits(index + 1);
                    if (grown == 0) {
                        RestoreModel(ctx);
                        return;
                    }
                    const std::uint32_t old = Checked(Stats(ctx), UnitsToBytes(oldUnits));
                    std::memmove(m_heap.get() + grown, m_heap.get() + old, UnitsToBytes(oldUnits));
                    InsertNode(old, index);
                    SetStats(ctx, grown);
                }
            }
            SetSummFreq(ctx, SummFreq(ctx) + (3 * ns1 + 1 < ns ? 1 : 0));
        } else {
            const std::uint32_t state = AllocUnits(0);
            if (state == 0) {
                RestoreModel(ctx);
                return;
            }
            CopyState(state, OneState(ctx));
            SetStats(ctx, state);
            if (Freq(state) < kMaxFreq / 4 - 1)
                Freq(state) = static_cast<std::uint8_t>(Freq(state) << 1);
            else
                Freq(state) = kMaxFreq - 4;
            SetSummFreq(ctx, Freq(state) + m_initEsc + (ns > 2 ? 1 : 0));
        }

        std::uint32_t cf = 2 * fFreq * (SummFreq(ctx) + 6U);
        const std::uint32_t sf = s0 + SummFreq(ctx);
        if (cf < 6 * sf) {
            cf = 1 + (cf > sf ? 1 : 0) + (cf >= 4 * sf ? 1 : 0);
            SetSummFreq(ctx, SummFreq(ctx) + 4);
        } else {
            cf = 4 + (cf > 9 * sf ? 1 : 0) + (cf > 12 * sf ? 1 : 0) + (cf > 15 * sf ? 1 : 0);
            SetSummFreq(ctx, SummFreq(ctx) + cf);
        }
        const std::uint32_t added = Stats(ctx) + (ns1 + 1) * kStateSize;
        SetSuccessor(added, successor);
        Symbol(added) = static_cast<std::uint8_t>(fSymbol);
        Freq(added) = static_cast<std::uint8_t>(cf);
        Flags(ctx) |= flag;
        NumStats(ctx) = static_cast<std::uint8_t>(ns1 + 1);
    }
    m_maxContext = m_minContext = Checked(fSuccessor, kUnitSize);
}

void CPpmdModel::Rescale() {
    const std::uint32_t stats = Stats(m_minContext);
    std::uint32_t state = m_foundState;
    // The symbol just seen goes first.
    if (state != stats) {
        std::uint8_t held[kStateSize];
        std::memcpy(held, m_heap.get() + state, kStateSize);
        for (; state != stats; state -= kStateSize)
            CopyState(state, state - kStateSize);
        std::memcpy(m_heap.get() + state, held, kStateSize);
    }
    unsigned escFreq = SummFreq(m_minContext) - Freq(state);
    Freq(state) = static_cast<std::uint8_t>(Freq(state) + 4);
    const unsigned adder = m_orderFall != 0 ? 1 : 0;
    Freq(state) = static_cast<std::uint8_t>((Freq(state) + adder) >> 1);
    unsigned sumFreq = Freq(state);

    unsigned i = NumStats(m_minContext);
    do {
        state += kStateSize;
        escFreq -= Freq(state);
        Freq(state) = static_cast<std::uint8_t>((Freq(state) + adder) >> 1);
        sumFreq += Freq(state);
        if (Freq(state) > Freq(state - kStateSize)) {
            // Kept in falling order of frequency.
            std::uint8_t held[kStateSize];
            std::memcpy(held, m_heap.get() + state, kStateSize);
            std::uint32_t at = state;
            do
                CopyState(at, at - kStateSize);
            while ((at -= kStateSize) != stats && held[1] > Freq(at - kStateSize));
            std::memcpy(m_heap.get() + at, held, kStateSize);
        }
    } while (--i != 0);

    if (Freq(state) == 0) {
        // Symbols worn down to nothing leave the context.
        const unsigned numStats = NumStats(m_minContext);
        do
            ++i;
        while (Freq(state -= kStateSize) == 0);
        escFreq += i;
        NumStats(m_minContext) = static_cast<std::uint8_t>(numStats - i);
        if (NumStats(m_minContext) == 0) {
            std::uint8_t held[kStateSize];
            std::memcpy(held, m_heap.get() + stats, kStateSize);
            unsigned freq = (2 * held[1] + escFreq - 1) / escFreq;
            held[1] = static_cast<std::uint8_t>(std::min(freq, kMaxFreq / 3));
            InsertNode(stats, UnitsToIndex((numStats + 2) >> 1));
            Flags(m_minContext) =
                static_cast<std::uint8_t>((Flags(m_minContext) & 0x10) + 0x08 * (held[0] >= 0x40));
            m_foundState = OneState(m_minContext);
            std::memcpy(m_heap.get() + m_foundState, held, kStateSize);
            return;
        }
        const unsigned oldUnits = (numStats + 2) >> 1;
        const unsigned newUnits = (NumStats(m_minContext) + 2U) >> 1;
        if (oldUnits != newUnits)
            SetStats(m_minContext, ShrinkUnits(stats, oldUnits, newUnits));
        unsigned flags = Flags(m_minContext) & ~0x08U;
        const std::uint32_t kept = Stats(m_minContext);
        for (unsigned k = 0; k <= NumStats(m_minContext); ++k)
            flags |= 0x08 * (Symbol(kept + k * kStateSize) >= 0x40);
        Flags(m_minContext) = static_cast<std::uint8_t>(flags);
    }
    SetSummFreq(m_minContext, sumFreq + escFreq - (escFreq >> 1));
    Flags(m_minContext) |= 0x04;
    m_foundState = Stats(m_minContext);
}

void CPpmdModel::NextContext() {
    const std::uint32_t next = Successor(m_foundState);
    if (m_orderFall == 0 && next >= m_unitsStart) {
        m_minContext = m_maxContext = Checked(next, kUnitSize);
    } else {
        UpdateModel();
        m_minContext = m_maxContext;
    }
}

void CPpmdModel::UpdateFirst() {
    m_prevSuccess = 2U * Freq(m_foundState) >= SummFreq(m_minContext) ? 1 : 0;
    m_runLength += static_cast<std::int32_t>(m_prevSuccess);
    SetSummFreq(m_minContext, SummFreq(m_minContext) + 4);
    Freq(m_foundState) = static_cast<std::uint8_t>(Freq(m_foundState) + 4);
    if (Freq(m_foundState) > kMaxFreq)
        Rescale();
    NextContext();
}

void CPpmdModel::UpdateOther() {
    std::uint32_t state = m_foundState;
    Freq(state) = static_cast<std::uint8_t>(Freq(state) + 4);
    SetSummFreq(m_minContext, SummFreq(m_minContext) + 4);
    if (Freq(state) > Freq(state - kStateSize)) {
        SwapStates(state, state - kStateSize);
        m_foundState = state -= kStateSize;
        if (Freq(state) > kMaxFreq)
            Rescale();
    }
    NextContext();
}

void CPpmdModel::UpdateAfterEscape() {
    SetSummFreq(m_minContext, SummFreq(m_minContext) + 4);
    Freq(m_foundState) = static_cast<std::uint8_t>(Freq(m_foundState) + 4);
    if (Freq(m_foundState) > kMaxFreq)
        Rescale();
    m_runLength = m_initRunLength;
    UpdateModel();
    m_minContext = m_maxContext;
}

void CPpmdModel::UpdateBinary() {
    Freq(m_foundState) =
        static_cast<std::uint8_t>(Freq(m_foundState) + (Freq(m_foundState) < 196 ? 1 : 0));
    m_prevSuccess = 1;
    ++m_runLength;
    NextContext();
}

std::uint16_t& CPpmdModel::BinSumm() {
    const std::uint32_t suffix = Checked(Suffix(m_minContext), kUnitSize);
    const unsigned row = Table().symbolsToIndex[Freq(OneState(m_minContext)) - 1U];
    const unsigned column = Table().symbolsToBinIndex[NumStats(suffix)] + m_prevSuccess +
                            Flags(m_minContext) +
                            ((static_cast<std::uint32_t>(m_runLength) >> 26) & 0x20);
    if (row >= 25 || column >= 64) [[unlikely]] {
        m_broken = true;
        return m_binSumm[0][0];
    }
    return m_binSumm[row][column];
}

CPpmdModel::See* CPpmdModel::MakeEscFreq(unsigned numMasked, std::uint32_t& escFreq) {
    const unsigned numStats = NumStats(m_minContext);
    if (numStats == 0xFF) {
        escFreq = 1;
        return &m_dummySee;
    }
    const std::uint32_t suffix = Checked(Suffix(m_minContext), kUnitSize);
    const unsigned row = Table().symbolsToIndex[numStats + 2] - 3U;
    const unsigned column = (SummFreq(m_minContext) > 11 * (numStats + 1) ? 1 : 0) +
                            2 * (2 * numStats < NumStats(suffix) + numMasked ? 1 : 0) +
                            Flags(m_minContext);
    if (row >= 24 || column >= 32) [[unlikely]] {
        m_broken = true;
        escFreq = 1;
        return &m_dummySee;
    }
    See* see = &m_see[row][column];
    const unsigned mean = see->summ >> see->shift;
    see->summ = static_cast<std::uint16_t>(see->summ - mean);
    escFreq = mean + (mean == 0 ? 1 : 0);
    return see;
}

// ---- The range decoder: carry-less, renormalising a byte at a time.

bool CPpmdModel::StartDecoder(PpmdInput& input) {
    m_low = 0;
    m_range = 0xFFFFFFFF;
    m_code = 0;
    for (int i = 0; i < 4; ++i)
        m_code = (m_code << 8) | input.Take();
    return m_code < 0xFFFFFFFF;
}

std::uint32_t CPpmdModel::Threshold(std::uint32_t total) {
    // A total beyond the range would leave no room to decode in.
    if (total == 0 || total > m_range) [[unlikely]] {
        m_broken = true;
        return 0;
    }
    m_range /= total;
    return (m_code - m_low) / m_range;
}

void CPpmdModel::Consume(std::uint32_t start, std::uint32_t size, PpmdInput& input) {
    m_low += start * m_range;
    m_range *= size;
    for (std::size_t shifts = 0;; ++shifts) {
        if ((m_low ^ (m_low + m_range)) >= kTop) {
            if (m_range >= kBot)
                break;
            m_range = (0 - m_low) & (kBot - 1);
        }
        if (shifts == kMostShifts) {
            m_broken = true;
            return;
        }
        m_code = (m_code << 8) | input.Take();
        m_range <<= 8;
        m_low <<= 8;
    }
}

int CPpmdModel::DecodeSymbol(PpmdInput& input) {
    if (m_broken)
        return kBadData;
    std::uint8_t masked[256];
    if (NumStats(m_minContext) != 0) {
        std::uint32_t state =
            Checked(Stats(m_minContext), (NumStats(m_minContext) + 1U) * kStateSize);
        const std::uint32_t count = Threshold(SummFreq(m_minContext));
        std::uint32_t hiCnt = Freq(state);
        if (m_broken)
            return kBadData;
        if (count < hiCnt) {
            Consume(0, hiCnt, input);
            m_foundState = state;
            const int symbol = Symbol(state);
            UpdateFirst();
            return m_broken ? kBadData : symbol;
        }
        m_prevSuccess = 0;
        for (unsigned i = NumStats(m_minContext); i != 0; --i) {
            state += kStateSize;
            hiCnt += Freq(state);
            if (hiCnt > count) {
                Consume(hiCnt - Freq(state), Freq(state), input);
                m_foundState = state;
                const int symbol = Symbol(state);
                UpdateOther();
                return m_broken ? kBadData : symbol;
            }
        }
        if (count >= SummFreq(m_minContext))
            return kBadData;
        Consume(hiCnt, SummFreq(m_minContext) - hiCnt, input);
        std::memset(masked, 0, sizeof masked);
        const std::uint32_t stats = Stats(m_minContext);
        for (unsigned i = 0; i <= NumStats(m_minContext); ++i)
            masked[Symbol(stats + i * kStateSize)] = 1;
    } else {
        std::uint16_t& probability = BinSumm();
        if (m_broken)
            return kBadData;
        // Binary contexts split a range of 2^14.
        m_range >>= 14;
        if (m_range == 0) [[unlikely]]
            return kBadData;
        if ((m_code - m_low) / m_range < probability) {
            Consume(0, probability, input);
            probability =
                static_cast<std::uint16_t>(probability + (1U << kIntBits) - Mean(probability));
            m_foundState = OneState(m_minContext);
            const int symbol = Symbol(m_foundState);
            UpdateBinary();
            return m_broken ? kBadData : symbol;
        }
        Consume(probability, kBinScale - probability, input);
        probability = static_cast<std::uint16_t>(probability - Mean(probability));
        m_initEsc = kExpEscape[probability >> 10];
        std::memset(masked, 0, sizeof masked);
        masked[Symbol(OneState(m_minContext))] = 1;
        m_prevSuccess = 0;
    }

    for (;;) {
        if (m_broken)
            return kBadData;
        // Down to the first shorter context with symbols not yet ruled out.
        const unsigned numMasked = NumStats(m_minContext);
        do {
            ++m_orderFall;
            if (Suffix(m_minContext) == 0)
                return kEndMark;
            m_minContext = Checked(Suffix(m_minContext), kUnitSize);
            if (m_broken)
                return kBadData;
        } while (NumStats(m_minContext) == numMasked);

        const unsigned numStats = NumStats(m_minContext);
        const std::uint32_t stats = Checked(Stats(m_minContext), (numStats + 1U) * kStateSize);
        std::uint32_t candidates[256];
        unsigned found = 0;
        std::uint32_t hiCnt = 0;
        for (unsigned i = 0; i <= numStats; ++i) {
            const std::uint32_t state = stats + i * kStateSize;
            if (masked[Symbol(state)] == 0) {
                hiCnt += Freq(state);
                candidates[found++] = state;
            }
        }
        if (found != numStats - numMasked) [[unlikely]]
            return kBadData;

        std::uint32_t escFreq = 0;
        See* see = MakeEscFreq(numMasked, escFreq);
        const std::uint32_t freqSum = escFreq + hiCnt;
        const std::uint32_t count = Threshold(freqSum);
        if (m_broken)
            return kBadData;
        if (count < hiCnt) {
            unsigned k = 0;
            std::uint32_t high = Freq(candidates[0]);
            while (high <= count)
                high += Freq(candidates[++k]);
            const std::uint32_t state = candidates[k];
            Consume(high - Freq(state), Freq(state), input);
            if (see->shift < kPeriodBits && --see->count == 0) {
                see->summ = static_cast<std::uint16_t>(see->summ << 1);
                see->count = static_cast<std::uint8_t>(3 << see->shift++);
            }
            m_foundState = state;
            const int symbol = Symbol(state);
            UpdateAfterEscape();
            return m_broken ? kBadData : symbol;
        }
        if (count >= freqSum)
            return kBadData;
        Consume(hiCnt, freqSum - hiCnt, input);
        see->summ = static_cast<std::uint16_t>(see->summ + freqSum);
        for (unsigned i = 0; i < found; ++i)
            masked[Symbol(candidates[i])] = 1;
    }
}
