// PPMd variant I, revision 1: the context model with information
// inheritance, its range decoder and its sub-allocator. The model lives in
// one block of the size the stream asks for; how that block fills up (and
// whether the model is then restarted or cut back) is part of the format,
// so the allocator is reproduced unit for unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// The bytes the range decoder reads. Past `end` it reads zeros and says
// so in `overrun`: the caller decides whether the symbol counts.
struct PpmdInput {
    const unsigned char* next = nullptr;
    const unsigned char* end = nullptr;
    bool overrun = false;

    unsigned char Take() {
        if (next == end) {
            overrun = true;
            return 0;
        }
        return *next++;
    }
};

class CPpmdModel {
public:
    static constexpr int kEndMark = -1;
    static constexpr int kBadData = -2;
    static constexpr unsigned kMinOrder = 2;
    static constexpr unsigned kMaxOrder = 64;

    CPpmdModel();
    ~CPpmdModel();
    CPpmdModel(const CPpmdModel&) = delete;
    CPpmdModel& operator=(const CPpmdModel&) = delete;

    // Takes `memorySize` bytes for the model; false when they cannot be had.
    bool Allocate(std::uint32_t memorySize);
    // A fresh model; `restoreMethod` 0 restarts it when memory runs out, 1
    // cuts it back.
    void Start(unsigned maxOrder, unsigned restoreMethod);
    // Reads the range decoder's first four bytes; false if they cannot
    // begin a stream.
    bool StartDecoder(PpmdInput& input);
    // The next byte, kEndMark where the writer marked the end, or kBadData.
    int DecodeSymbol(PpmdInput& input);

    // The most input one symbol can take: every escape down the context
    // chain renormalises at most kMostShifts times.
    static constexpr std::size_t kMostShifts = 32;
    static constexpr std::size_t kMostInputPerSymbol = 257 * kMostShifts;

private:
    struct See {
        std::uint16_t summ;
        std::uint8_t shift;
        std::uint8_t count;
    };

    // The heap: offsets are references, 0 is none.
    std::uint8_t& Byte(std::uint32_t ref) { return m_heap.get()[ref]; }
    std::uint16_t Get16(std::uint32_t ref) const;
    void Set16(std::uint32_t ref, std::uint32_t value);
    std::uint32_t Get32(std::uint32_t ref) const;
    void Set32(std::uint32_t ref, std::uint32_t value);
    // A reference the model follows; a bad one stops decoding.
    std::uint32_t Checked(std::uint32_t ref, std::uint32_t size);

    // Contexts: NumStats (symbols - 1), Flags, SummFreq, Stats, Suffix; a
    // context of one symbol keeps that state in place of SummFreq and Stats.
    std::uint8_t& NumStats(std::uint32_t ctx) { return Byte(ctx); }
    std::uint8_t& Flags(std::uint32_t ctx) { return Byte(ctx + 1); }
    std::uint16_t SummFreq(std::uint32_t ctx) const { return Get16(ctx + 2); }
    void SetSummFreq(std::uint32_t ctx, std::uint32_t value) { Set16(ctx + 2, value); }
    std::uint32_t Stats(std::uint32_t ctx) const { return Get32(ctx + 4); }
    void SetStats(std::uint32_t ctx, std::uint32_t ref) { Set32(ctx + 4, ref); }
    std::uint32_t Suffix(std::uint32_t ctx) const { return Get32(ctx + 8); }
    static std::uint32_t OneState(std::uint32_t ctx) { return ctx + 2; }
    // States: Symbol, Freq, Successor (six bytes).
    std::uint8_t& Symbol(std::uint32_t state) { return Byte(state); }
    std::uint8_t& Freq(std::uint32_t state) { return Byte(state + 1); }
    std::uint32_t Successor(std::uint32_t state) const { return Get32(state + 2); }
    void SetSuccessor(std::uint32_t state, std::uint32_t ref) { Set32(state + 2, ref); }
    void CopyState(std::uint32_t to, std::uint32_t from);
    void SwapStates(std::uint32_t a, std::uint32_t b);
    // The state of `symbol` among the context's, or 0.
    std::uint32_t FindState(std::uint32_t ctx, unsigned symbol);

    // The sub-allocator.
    void InsertNode(std::uint32_t node, unsigned index);
    std::uint32_t RemoveNode(unsigned index);
    void FreeRun(std::uint32_t block, unsigned units);
    void SplitBlock(std::uint32_t block, unsigned oldIndex, unsigned newIndex);
    void GlueFreeBlocks();
    std::uint32_t AllocUnitsRare(unsigned index);
    std::uint32_t AllocUnits(unsigned index);
    std::uint32_t AllocContext();
    std::uint32_t ShrinkUnits(std::uint32_t block, unsigned oldUnits, unsigned newUnits);
    std::uint32_t MoveUnitsUp(std::uint32_t block, unsigned units);
    void SpecialFreeUnit(std::uint32_t unit);
    void ExpandTextArea();
    std::uint32_t UsedMemory() const;

    // The model.
    void RestartModel();
    void RestoreModel(std::uint32_t stopAt);
    void Refresh(std::uint32_t ctx, unsigned oldUnits, unsigned scale);
    std::uint32_t CutOff(std::uint32_t ctx, unsigned order);
    std::uint32_t CreateSuccessors(bool skip, std::uint32_t firstState, std::uint32_t ctx);
    std::uint32_t ReduceOrder(std::uint32_t firstState, std::uint32_t ctx);
    void UpdateModel();
    void Rescale();
    void NextContext();
    void UpdateFirst();
    void UpdateOther();
    void UpdateAfterEscape();
    void UpdateBinary();
    std::uint16_t& BinSumm();
    See* MakeEscFreq(unsigned numMasked, std::uint32_t& escFreq);

    // The range decoder.
    std::uint32_t Threshold(std::uint32_t total);
    void Consume(std::uint32_t start, std::uint32_t size, PpmdInput& input);

    struct FreeHeap {
        void operator()(std::uint8_t* heap) const;
    };
    std::unique_ptr<std::uint8_t, FreeHeap> m_heap;
    std::uint32_t m_size = 0;
    std::uint32_t m_heapEnd = 0;

    std::uint32_t m_text = 0;
    std::uint32_t m_unitsStart = 0;
    std::uint32_t m_loUnit = 0;
    std::uint32_t m_hiUnit = 0;
    std::uint32_t m_glueCount = 0;
    std::uint32_t m_freeList[38] = {};
    std::uint32_t m_stamps[38] = {};

    std::uint32_t m_minContext = 0;
    std::uint32_t m_maxContext = 0;
    std::uint32_t m_foundState = 0;
    unsigned m_orderFall = 0;
    unsigned m_initEsc = 0;
    unsigned m_prevSuccess = 0;
    unsigned m_maxOrder = 0;
    unsigned m_restoreMethod = 0;
    std::int32_t m_runLength = 0;
    std::int32_t m_initRunLength = 0;
    std::uint16_t m_binSumm[25][64] = {};
    See m_see[24][32] = {};
    See m_dummySee = {};
    bool m_broken = false;

    std::uint32_t m_range = 0;
    std::uint32_t m_code = 0;
    std::uint32_t m_low = 0;
};
