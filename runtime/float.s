; Floating point for compiled code: IEEE single and double precision with
; round to nearest even, denormals, infinities and quiet NaNs, done with the
; integer unit alone.
;
; Layout of the work: every public helper (c_fadd ... c_ultod) is a wrapper
; that saves the whole register state in a frame below r1 (c__enter), calls
; one or two cores, and restores everything but its results (c__leave...).
; The cores are free to use r0, r3-r12, r14-r27, CR, XER and CTR, so they
; are written for clarity, not for register thrift; r28-r31 belong to the
; wrappers. Single precision goes through double precision: a float widens
; exactly, and a double result of +, -, * or / of two floats rounds to the
; same float as the exact result would (53 >= 2 * 24 + 2), so one rounding
; routine per format is all there is.
;
; Doubles travel in two registers, high word first: a in r3:r4, b in r5:r6.
; Internally a number is a sign word (0 or $80000000), a biased exponent e
; and a 64-bit significand M (hi:lo) whose value is M * 2^(e - 1086) for
; doubles (M * 2^(e - 158) for floats): with M's leading one at bit 63 that
; makes e the biased exponent of the result.
;
; Helper frame (136 bytes below the caller's r1): CR 0, XER 4, CTR 8,
; LR 12, r3-r31 16-131.

        switch  .text

; ---- wrappers

        xdef    c_fadd,c_fsub,c_fmul,c_fdiv,c_fcmp,c_fneg,c_ftol,c_ltof,c_ultof
        xdef    c_dadd,c_dsub,c_dmul,c_ddiv,c_dcmp,c_dneg,c_dtol,c_ltod,c_ultod
        xdef    c_dtof,c_ftod

c_fadd: mflr    r0
        bl      c__enter
        bl      c__f2d
        bl      c__dadd
        bl      c__dtof
        b       c__leave3
c_fsub: mflr    r0
        bl      c__enter
        bl      c__f2d
        bl      c__dsub
        bl      c__dtof
        b       c__leave3
c_fmul: mflr    r0
        bl      c__enter
        bl      c__f2d
        bl      c__dmul
        bl      c__dtof
        b       c__leave3
c_fdiv: mflr    r0
        bl      c__enter
        bl      c__f2d
        bl      c__ddiv
        bl      c__dtof
        b       c__leave3
c_fcmp: mflr    r0
        bl      c__enter
        bl      c__f2d
        bl      c__dcmp
        b       c__leavecc
c_ftol: mflr    r0
        bl      c__enter
        bl      c__ftod
        bl      c__dtol
        b       c__leave3
c_ltof: mflr    r0
        bl      c__enter
        bl      c__ltof
        b       c__leave3
c_ultof: mflr   r0
        bl      c__enter
        bl      c__ultof
        b       c__leave3
c_dadd: mflr    r0
        bl      c__enter
        bl      c__dadd
        b       c__leave34
c_dsub: mflr    r0
        bl      c__enter
        bl      c__dsub
        b       c__leave34
c_dmul: mflr    r0
        bl      c__enter
        bl      c__dmul
        b       c__leave34
c_ddiv: mflr    r0
        bl      c__enter
        bl      c__ddiv
        b       c__leave34
c_dcmp: mflr    r0
        bl      c__enter
        bl      c__dcmp
        b       c__leavecc
c_dtol: mflr    r0
        bl      c__enter
        bl      c__dtol
        b       c__leave3
c_ltod: mflr    r0
        bl      c__enter
        bl      c__ltod
        b       c__leave34
c_ultod: mflr   r0
        bl      c__enter
        bl      c__ultod
        b       c__leave34
c_dtof: mflr    r0
        bl      c__enter
        bl      c__dtof
        b       c__leave3
c_ftod: mflr    r0
        bl      c__enter
        bl      c__ftod
        b       c__leave34

; Negation only flips the sign, NaNs included, and touches nothing else.
c_fneg:
c_dneg: xori    r3,r3,$80000000
        blr

; c__enter: r0 holds the wrapper's return address.
c__enter:
        addi    r1,r1,-136
        stmw    r3,16(r1)
        stw     r0,12(r1)
        mfcr    r0
        stw     r0,0(r1)
        mfxer   r0
        stw     r0,4(r1)
        mfctr   r0
        stw     r0,8(r1)
        blr

; Restores all but the result: r3, r3:r4, or cr0 (compares).
c__leave3:
        lmw     r4,20(r1)
        b       c__leave
c__leave34:
        lmw     r5,24(r1)
c__leave:
        lwz     r0,0(r1)
        mtcr    r0
        b       c__leavex
c__leavecc:
        lmw     r3,16(r1)
        lwz     r0,0(r1)
        mtcrf   $7f,r0
c__leavex:
        lwz     r0,4(r1)
        mtxer   r0
        lwz     r0,8(r1)
        mtctr   r0
        lwz     r0,12(r1)
        mtlr    r0
        addi    r1,r1,136
        blr

; c__f2d: the floats r3 and r4 as the doubles r3:r4 and r5:r6.
c__f2d: mflr    r28
        mr      r29,r4
        bl      c__ftod
        mr      r30,r3
        mr      r31,r4
        mr      r3,r29
        bl      c__ftod
        mr      r5,r3
        mr      r6,r4
        mr      r3,r30
        mr      r4,r31
        mtlr    r28
        blr

; ---- shared pieces of the cores

; c__nan2: when a (r3:r4) or b (r5:r6) is a NaN, r3:r4 becomes the first
; of them made quiet and cr0 is "ne"; otherwise cr0 is "eq". A double is a
; NaN when its magnitude's high word, with the low word's "not zero" folded
; into bit 0, is above $7FF00000. Uses r0, r11, r12.
c__nan2:
        clrlwi  r11,r3,1
        neg     r12,r4
        or      r12,r12,r4
        srwi    r12,r12,31
        or      r11,r11,r12
        lis     r12,$7ff0
        cmplw   r11,r12
        bgt     1$
        clrlwi  r11,r5,1
        neg     r0,r6
        or      r0,r0,r6
        srwi    r0,r0,31
        or      r11,r11,r0
        cmplw   r11,r12
        bgt     2$
        cmpw    r12,r12
        blr
2$:     mr      r3,r5
        mr      r4,r6
1$:     oris    r3,r3,$8
        blr

; c__unpack: the finite non-zero double r3:r4 as significand r9:r10 with
; its leading one at bit 52 and biased exponent r8 (below 1 for a
; denormal, which is normalized). Uses r0, r11, r12.
c__unpack:
        rlwinm  r8,r3,12,21,31
        clrlwi  r9,r3,12
        mr      r10,r4
        cmpwi   r8,0
        beq     1$
        oris    r9,r9,$10
        blr
1$:     cntlzw  r12,r9
        cmpwi   r9,0
        bne     2$
        cntlzw  r12,r10
        addi    r12,r12,32
2$:     addi    r12,r12,-11
        li      r8,1
        subf    r8,r12,r8
; c__shl64: r9:r10 shifted left by r12 (0 to 63). Shift amounts of 32 to
; 63 give 0, so one sequence serves every count. Uses r11.
c__shl64:
        subfic  r11,r12,32
        srw     r11,r10,r11
        slw     r9,r9,r12
        or      r9,r9,r11
        addi    r11,r12,-32
        slw     r11,r10,r11
        or      r9,r9,r11
        slw     r10,r10,r12
        blr

; c__srs64: r9:r10 shifted right by r0 (unsigned) with every bit shifted
; out folded into bit 0 (the sticky bit). Uses r0, r11, r12.
c__srs64:
        cmplwi  r0,0
        beq     4$
        cmplwi  r0,64
        blt     1$
        or      r11,r9,r10
        li      r9,0
        li      r10,0
        b       3$
1$:     cmplwi  r0,32
        blt     2$
        subfic  r11,r0,64
        slw     r11,r9,r11
        or      r11,r11,r10
        addi    r12,r0,-32
        srw     r10,r9,r12
        li      r9,0
        b       3$
2$:     subfic  r11,r0,32
        slw     r12,r9,r11
        slw     r11,r10,r11
        srw     r10,r10,r0
        or      r10,r10,r12
        srw     r9,r9,r0
3$:     neg     r12,r11
        or      r11,r11,r12
        srwi    r11,r11,31
        or      r10,r10,r11
4$:     blr

; c__rp64: rounds sign r7, exponent r8, significand r9:r10 (value
; M * 2^(e - 1086), any M) to the nearest double, ties to even, into
; r3:r4. Overflow gives infinity, underflow a denormal or zero.
c__rp64:
        or.     r0,r9,r10
        bne     1$
        mr      r3,r7
        li      r4,0
        blr
1$:     cmpwi   r9,0
        bne     2$
        mr      r9,r10
        li      r10,0
        addi    r8,r8,-32
2$:     cntlzw  r12,r9
        subf    r8,r12,r8
        mflr    r26
        bl      c__shl64
        cmpwi   r8,$7ff
        bge     6$
        cmpwi   r8,0
        bgt     3$
        subfic  r0,r8,1
        bl      c__srs64
        li      r8,0
        b       4$
3$:     addi    r8,r8,-1
; round at bit 11: add (R + $3FF + lsb) >> 11, where R is the 11 bits
; below the result and lsb its last bit
4$:     mtlr    r26
        clrlwi  r11,r10,21
        srwi    r10,r10,11
        rlwimi  r10,r9,21,0,10
        srwi    r9,r9,11
        clrlwi  r12,r10,31
        add     r11,r11,r12
        addi    r11,r11,$3ff
        srwi    r11,r11,11
        addc    r4,r10,r11
        addze   r9,r9
; the exponent field is e - 1 plus the leading one (or the carry of a
; denormal rounding up into the smallest normal)
        slwi    r8,r8,20
        add     r3,r9,r8
        or      r3,r3,r7
        blr
6$:     mtlr    r26
        lis     r3,$7ff0
        or      r3,r3,r7
        li      r4,0
        blr

; c__rp32: rounds sign r7, exponent r8, significand r9 (value
; M * 2^(e - 158)) to the nearest float into r3.
c__rp32:
        cmpwi   r9,0
        bne     1$
        mr      r3,r7
        blr
1$:     cntlzw  r12,r9
        slw     r9,r9,r12
        subf    r8,r12,r8
        cmpwi   r8,$ff
        bge     6$
        cmpwi   r8,0
        bgt     3$
        subfic  r0,r8,1
        mr      r10,r9
        li      r9,0
        mflr    r26
        bl      c__srs64
        mtlr    r26
        mr      r9,r10
        li      r8,0
        b       4$
3$:     addi    r8,r8,-1
4$:     clrlwi  r11,r9,24
        srwi    r9,r9,8
        clrlwi  r12,r9,31
        add     r11,r11,r12
        addi    r11,r11,$7f
        srwi    r11,r11,8
        add     r9,r9,r11
        slwi    r8,r8,23
        add     r3,r9,r8
        or      r3,r3,r7
        blr
6$:     lis     r3,$7f80
        or      r3,r3,r7
        blr

; ---- cores

; c__ftod: float r3 as double r3:r4 (exact).
c__ftod:
        clrrwi  r7,r3,31
        rlwinm  r8,r3,9,24,31
        clrlwi  r9,r3,9
        cmpwi   r8,$ff
        beq     3$
        cmpwi   r8,0
        beq     1$
        addi    r8,r8,896
        b       5$
; zero or denormal: normalize the fraction
1$:     cmpwi   r9,0
        bne     2$
        mr      r3,r7
        li      r4,0
        blr
2$:     cntlzw  r12,r9
        slw     r9,r9,r12
        li      r8,905
        subf    r8,r12,r8
        rlwinm  r9,r9,24,9,31
; fraction r9 (23 bits), exponent r8
5$:     slwi    r8,r8,20
        srwi    r3,r9,3
        or      r3,r3,r8
        or      r3,r3,r7
        slwi    r4,r9,29
        blr
; infinity or NaN (made quiet)
3$:     cmpwi   r9,0
        beq     4$
        oris    r9,r9,$40
4$:     li      r8,$7ff
        b       5$

; c__dtof: double r3:r4 rounded to float r3.
c__dtof:
        clrrwi  r7,r3,31
        rlwinm  r8,r3,12,21,31
        clrlwi  r9,r3,12
        cmpwi   r8,$7ff
        beq     3$
        cmpwi   r8,0
        bne     1$
; a double denormal is far below half the smallest float denormal
        mr      r3,r7
        blr
1$:     oris    r9,r9,$10
        slwi    r9,r9,11
        rlwimi  r9,r4,11,21,31
        slwi    r10,r4,11
        neg     r11,r10
        or      r10,r10,r11
        srwi    r10,r10,31
        or      r9,r9,r10
        addi    r8,r8,-896
        b       c__rp32
3$:     or.     r0,r9,r4
        beq     4$
        slwi    r3,r9,3
        rlwimi  r3,r4,3,29,31
        oris    r3,r3,$7fc0
        or      r3,r3,r7
        blr
4$:     lis     r3,$7f80
        or      r3,r3,r7
        blr

; c__ltof, c__ultof: the integer r3 rounded to float r3.
c__ltof:
        srawi   r0,r3,31
        xor     r9,r3,r0
        subf    r9,r0,r9
        clrrwi  r7,r3,31
        li      r8,158
        b       c__rp32
c__ultof:
        mr      r9,r3
        li      r7,0
        li      r8,158
        b       c__rp32

; c__ltod, c__ultod: the integer r3 as double r3:r4 (exact).
c__ltod:
        srawi   r0,r3,31
        xor     r9,r3,r0
        subf    r9,r0,r9
        clrrwi  r7,r3,31
        b       c__itod
c__ultod:
        mr      r9,r3
        li      r7,0
c__itod:
        cmpwi   r9,0
        bne     1$
        li      r3,0
        li      r4,0
        blr
1$:     cntlzw  r12,r9
        slw     r9,r9,r12
        slwi    r9,r9,1
        li      r8,1054
        subf    r8,r12,r8
        slwi    r8,r8,20
        srwi    r3,r9,12
        or      r3,r3,r8
        or      r3,r3,r7
        slwi    r4,r9,20
        blr

; c__dtol: double r3:r4 truncated to an integer r3; out of range
; saturates, a NaN gives 0.
c__dtol:
        rlwinm  r8,r3,12,21,31
        cmpwi   r8,$7ff
        bne     1$
        clrlwi  r0,r3,12
        or.     r0,r0,r4
        beq     3$
        li      r3,0
        blr
1$:     addi    r8,r8,-1023
        cmpwi   r8,0
        blt     2$
        cmpwi   r8,31
        bge     3$
; the integer is the significand shifted right by 52 - s: shifts of 32 or
; more give 0, so three pieces cover every s from 0 to 30
        clrlwi  r9,r3,12
        oris    r9,r9,$10
        subfic  r11,r8,20
        srw     r10,r9,r11
        addi    r11,r8,-20
        slw     r11,r9,r11
        or      r10,r10,r11
        subfic  r11,r8,52
        srw     r11,r4,r11
        or      r10,r10,r11
        srawi   r0,r3,31
        xor     r10,r10,r0
        subf    r3,r0,r10
        blr
2$:     li      r3,0
        blr
3$:     srawi   r0,r3,31
        lis     r3,$7fff
        ori     r3,r3,$ffff
        subf    r3,r0,r3
        blr

; c__guard: the significand of a double (high word r9, low word r10,
; exponent field r12) with ten guard bits in r9:r10; the exponent of a
; denormal (0) becomes 1.
c__guard:
        clrlwi  r9,r9,12
        cmpwi   r12,0
        beq     1$
        oris    r9,r9,$10
        b       2$
1$:     li      r12,1
2$:     slwi    r9,r9,10
        rlwimi  r9,r10,10,22,31
        slwi    r10,r10,10
        blr

; c__dadd, c__dsub: r3:r4 plus (minus) r5:r6 into r3:r4.
c__dsub:
        mflr    r27
        bl      c__nan2
        bne     c__dret
        xori    r5,r5,$80000000
        b       c__dadd1
c__dadd:
        mflr    r27
        bl      c__nan2
        bne     c__dret
c__dadd1:
        rlwinm  r8,r3,12,21,31
        rlwinm  r14,r5,12,21,31
        cmpwi   r8,$7ff
        beq     7$
        cmpwi   r14,$7ff
        beq     8$
; order the operands so that |a| >= |b|
        clrlwi  r0,r3,1
        clrlwi  r11,r5,1
        cmplw   r0,r11
        bgt     2$
        blt     1$
        cmplw   r4,r6
        bge     2$
1$:     mr      r0,r3
        mr      r3,r5
        mr      r5,r0
        mr      r0,r4
        mr      r4,r6
        mr      r6,r0
        mr      r0,r8
        mr      r8,r14
        mr      r14,r0
2$:     clrrwi  r7,r3,31
        xor     r15,r3,r5
        srwi    r15,r15,31
        clrlwi  r0,r3,1
        or.     r0,r0,r4
        bne     3$
; both zero: -0 only when both are -0
        and     r3,r3,r5
        li      r4,0
        b       c__dret
; significands with ten guard bits: a in r16:r17, b in r9:r10
3$:     mr      r9,r3
        mr      r10,r4
        mr      r12,r8
        bl      c__guard
        mr      r16,r9
        mr      r17,r10
        mr      r8,r12
        mr      r9,r5
        mr      r10,r6
        mr      r12,r14
        bl      c__guard
        mr      r14,r12
        subf    r0,r14,r8
        bl      c__srs64
        cmpwi   r15,0
        bne     10$
        addc    r10,r10,r17
        adde    r9,r9,r16
        b       11$
10$:    subfc   r10,r10,r17
        subfe   r9,r9,r16
        or.     r0,r9,r10
        bne     11$
; exact cancellation gives +0
        li      r3,0
        li      r4,0
        b       c__dret
11$:    addi    r8,r8,1
        mtlr    r27
        b       c__rp64
; a is infinite; with b infinite of the other sign the result is a NaN
7$:     cmpwi   r14,$7ff
        bne     c__dret
        xor     r0,r3,r5
        cmpwi   r0,0
        bge     c__dret
        b       c__dnan
8$:     mr      r3,r5
        mr      r4,r6
        b       c__dret
; signed infinity and zero (sign r7), the default NaN
c__dinf:
        lis     r3,$7ff0
        or      r3,r3,r7
        li      r4,0
        b       c__dret
c__dzero:
        mr      r3,r7
        li      r4,0
        b       c__dret
c__dnan:
        lis     r3,$7ff8
        li      r4,0
c__dret:
        mtlr    r27
        blr

; c__unpack2: a (r3:r4) as r16:r17 with exponent r18 and b (r5:r6) as
; r9:r10 with exponent r8, as c__unpack makes them.
c__unpack2:
        mflr    r26
        bl      c__unpack
        mr      r16,r9
        mr      r17,r10
        mr      r18,r8
        mr      r3,r5
        mr      r4,r6
        bl      c__unpack
        mtlr    r26
        blr

; c__operands: what multiplication and division first need to know: the
; result's sign in r7, the exponents of a and b in r8 and r14, their
; magnitudes' "not zero" words in r15 and r16; cr0 "ne" (and r3:r4 the
; result) when an operand is a NaN, as c__nan2 leaves it.
c__operands:
        mflr    r26
        bl      c__nan2
        mtlr    r26
        xor     r7,r3,r5
        clrrwi  r7,r7,31
        rlwinm  r8,r3,12,21,31
        rlwinm  r14,r5,12,21,31
        clrlwi  r0,r3,1
        or      r15,r0,r4
        clrlwi  r0,r5,1
        or      r16,r0,r6
        blr

; c__dmul: r3:r4 times r5:r6 into r3:r4.
c__dmul:
        mflr    r27
        bl      c__operands
        bne     c__dret
        cmpwi   r8,$7ff
        beq     1$
        cmpwi   r14,$7ff
        beq     2$
        cmpwi   r15,0
        beq     c__dzero
        cmpwi   r16,0
        beq     c__dzero
        bl      c__unpack2
        add     r8,r8,r18
        addi    r8,r8,-1022
; both significands to bit 63, then the upper half of the 128-bit product
        slwi    r16,r16,11
        rlwimi  r16,r17,11,21,31
        slwi    r17,r17,11
        slwi    r9,r9,11
        rlwimi  r9,r10,11,21,31
        slwi    r10,r10,11
        mullw   r19,r17,r10
        mulhwu  r20,r17,r10
        mullw   r21,r16,r10
        mulhwu  r22,r16,r10
        mullw   r23,r17,r9
        mulhwu  r24,r17,r9
        mullw   r25,r16,r9
        mulhwu  r26,r16,r9
        addc    r20,r20,r21
        addze   r22,r22
        addc    r20,r20,r23
        addze   r24,r24
        addc    r22,r22,r24
        addze   r26,r26
        addc    r22,r22,r25
        addze   r26,r26
        or      r0,r20,r19
        neg     r11,r0
        or      r0,r0,r11
        srwi    r0,r0,31
        mr      r9,r26
        or      r10,r22,r0
        mtlr    r27
        b       c__rp64
; infinity times zero is a NaN, times anything else infinity
1$:     cmpwi   r16,0
        beq     c__dnan
        b       c__dinf
2$:     cmpwi   r15,0
        beq     c__dnan
        b       c__dinf

; c__ddiv: r3:r4 divided by r5:r6 into r3:r4, one quotient bit per step
; of a restoring division counted in CTR.
c__ddiv:
        mflr    r27
        bl      c__operands
        bne     c__dret
        cmpwi   r8,$7ff
        beq     1$
        cmpwi   r14,$7ff
        beq     c__dzero
        cmpwi   r16,0
        bne     2$
        cmpwi   r15,0
        beq     c__dnan
        b       c__dinf
2$:     cmpwi   r15,0
        beq     c__dzero
        bl      c__unpack2
        subf    r8,r8,r18
        addi    r8,r8,1023
; remainder r16:r17 starts at or above the divisor r9:r10
        cmplw   r16,r9
        bgt     5$
        blt     6$
        cmplw   r17,r10
        bge     5$
6$:     addc    r17,r17,r17
        adde    r16,r16,r16
        addi    r8,r8,-1
5$:     li      r19,0
        li      r20,0
        li      r0,64
        mtctr   r0
; quotient r19:r20; each step: q = 2q + (R >= D), R = 2(R or R - D)
7$:     addc    r20,r20,r20
        adde    r19,r19,r19
        subfc   r22,r10,r17
        subfe   r21,r9,r16
        subfe   r23,r23,r23
        addze   r20,r20
        and     r16,r16,r23
        andc    r21,r21,r23
        or      r16,r16,r21
        and     r17,r17,r23
        andc    r22,r22,r23
        or      r17,r17,r22
        addc    r17,r17,r17
        adde    r16,r16,r16
        bdnz    7$
        or      r0,r16,r17
        neg     r11,r0
        or      r0,r0,r11
        srwi    r0,r0,31
        mr      r9,r19
        or      r10,r20,r0
        mtlr    r27
        b       c__rp64
; infinity / infinity is a NaN, infinity / finite infinity
1$:     cmpwi   r14,$7ff
        beq     c__dnan
        b       c__dinf

; c__dcmp: compares r3:r4 with r5:r6 into cr0 as a signed compare would;
; unordered sets none of LT, GT and EQ. Each number becomes a 64-bit
; integer key, its magnitude negated when the sign is set, so that -0 and
; +0 meet at 0.
c__dcmp:
        mflr    r27
        bl      c__nan2
        bne     2$
        mtlr    r27
        clrlwi  r9,r3,1
        srawi   r0,r3,31
        xor     r9,r9,r0
        xor     r10,r4,r0
        subfc   r10,r0,r10
        subfe   r9,r0,r9
        clrlwi  r11,r5,1
        srawi   r0,r5,31
        xor     r11,r11,r0
        xor     r12,r6,r0
        subfc   r12,r0,r12
        subfe   r11,r0,r11
        cmpw    r9,r11
        bne     1$
        cmplw   r10,r12
1$:     blr
2$:     mtlr    r27
        mfxer   r0
        rlwinm  r0,r0,29,3,3
        mtcrf   $80,r0
        blr
