# Shows screen files on the emulated MSX2+ and saves a screenshot of each.
# Expects `jobs`, a list of {FILE R25 PALETTE SHOT}: the BSAVE file, the value
# for VDP register 25 (0x08 YJK for screen 12, 0x18 YJK with attribute pixels
# for screens 10/11), 1 to load the file's palette table into the chip as
# COLOR=RESTORE would, and the absolute name of the PNG to write.

# Screenshots need a real renderer; gamma 1 keeps the levels linear.
set renderer SDL
set gamma 1.0

proc readFile {name} {
    set f [open $name rb]
    fconfigure $f -translation binary
    set data [read $f]
    close $f
    return $data
}

proc showNext {} {
    global jobs
    if {[llength $jobs] == 0} { exit }
    lassign [lindex $jobs 0] file r25 palette shot
    set jobs [lrange $jobs 1 end]
    vdpreg 25 $r25
    after frame [list loadScreen $file $palette $shot]
}

# The file's first 54272 bytes after its 7-byte header are VRAM 0-0xD3FF;
# its palette table lies at VRAM 0xFA80, 7 bytes further in the file.
proc loadScreen {file palette shot} {
    set data [readFile $file]
    debug write_block VRAM 0 [string range $data 7 [expr {7 + 0xD3FF}]]
    if {$palette} {
        debug write_block "VDP palette" 0 [string range $data [expr {7 + 0xFA80}] [expr {7 + 0xFA9F}]]
    }
    after frame [list after frame [list after frame [list takeShot $shot]]]
}

proc takeShot {shot} {
    screenshot -raw $shot
    showNext
}

# Boot fast, then run in real time (unthrottled frames come out black), park
# the CPU on DI, HALT so that the BIOS leaves the VDP alone, and switch to
# GRAPHIC 7 with 212 lines, sprites off. Colour 0 is transparent (R#8 bit 5
# clear), so attribute pixels of colour 0 show the border colour: R#7 = 0
# makes that palette colour 0, as COLOR ,,0 does in BASIC.
set throttle off
after time 2 {
    set throttle on
    set maxframeskip 0
    debug write_block memory 0xC000 [binary format c2 {0xF3 0x76}]
    reg pc 0xC000
    vdpreg 0 0x0E
    vdpreg 1 0x40
    vdpreg 2 0x1F
    vdpreg 7 0x00
    vdpreg 8 0x0A
    vdpreg 9 0x82
    vdpreg 18 0x00
    vdpreg 23 0x00
    after frame showNext
}
