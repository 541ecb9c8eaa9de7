#!/usr/bin/perl
# array_bytes.pl SOURCE OUT: writes the bytes of the C array in SOURCE (every
# 0x.. between its braces, in order) to OUT as a binary file.
use strict;
use warnings;
my ($source, $out) = @ARGV;
open(my $in, "<", $source) or die "$source: $!\n";
my $text = do { local $/; <$in> };
$text =~ m/\{(.*)\}/s or die "$source: no array\n";
my @bytes = map { hex } $1 =~ /0x([0-9a-fA-F]{1,2})/g;
@bytes or die "$source: no bytes\n";
open(my $o, ">", "$out.tmp") or die "$out: $!\n";
binmode $o;
print $o pack("C*", @bytes);
close $o or die "$out: $!\n";
rename("$out.tmp", $out) or die "$out: $!\n";
