; Run-time helpers of compiled code other than floating point: interrupt
; frames, switch tables, and the library functions that the built-in
; functions fall back to.

        switch  .text

; ---- interrupt frames
;
; An interrupt function allocates 68 bytes, stores r0 at 24(r1), moves LR
; to r0 and calls c_savi (nested: interrupts enabled again once everything
; is saved) or c_savim; it ends with its own stack released and a branch
; to c_resti or c_restim. The save area is the one the VLE store-multiple
; instructions use:
;   CR 0, LR 4, CTR 8, XER 12, SRR0 16, SRR1 20, r0 24, r3-r12 28-67.
; Only r0 changes on the way in; on the way out everything comes back and
; rfi returns to the interrupted code.

        xdef    c_savi,c_savim,c_resti,c_restim

; the interrupted LR arrives in r0, its r0 is at 24(r1) already
c__save: macro
        stw     r0,4(r1)
        lwz     r0,24(r1)
        stmvgprw 24(r1)
        mfcr    r0
        stw     r0,0(r1)
        mfctr   r0
        stw     r0,8(r1)
        mfxer   r0
        stw     r0,12(r1)
        mfspr   r0,26
        stw     r0,16(r1)
        mfspr   r0,27
        stw     r0,20(r1)
        endm

c_savi: c__save
        wrteei  1
        blr
c_savim:
        c__save
        blr

c_resti:
        wrteei  0
c_restim:
        lwz     r0,16(r1)
        mtspr   26,r0
        lwz     r0,20(r1)
        mtspr   27,r0
        lwz     r0,0(r1)
        mtcr    r0
        lwz     r0,4(r1)
        mtlr    r0
        lwz     r0,8(r1)
        mtctr   r0
        lwz     r0,12(r1)
        mtxer   r0
        lmvgprw 24(r1)
        addi    r1,68
        rfi

; ---- switch tables
;
; c_jrtab: called as "bl c_jrtab" directly followed by the table of case
; addresses (dc.l), with the case index in r3. The table is only halfword
; aligned in VLE code, so each address is read as two halfwords; the jump
; goes through LR, never CTR, because the switch may stand inside a counted
; loop.

        xdef    c_jrtab

c_jrtab:
        mflr    r0
        slwi    r3,r3,2
        add     r3,r3,r0
        lhz     r0,0(r3)
        lhz     r3,2(r3)
        rlwimi  r3,r0,16,0,15
        mtlr    r3
        blr

; ---- library functions behind the built-ins

; size_t strlen(const char *s)
        xdef    _strlen
_strlen:
        mr      r4,r3
1$:     lbz     r0,0(r4)
        addi    r4,r4,1
        cmpwi   r0,0
        bne     1$
        subf    r3,r3,r4
        addi    r3,r3,-1
        blr

; double fabs(double x): the sign cleared, NaNs included
        xdef    _fabs
_fabs:  clrlwi  r3,r3,1
        blr
