#!/usr/bin/perl
# Writes a dBASE III table of ROWS books (title, ISBN, price; GBK text) for the run tests:
#   make_dbf.pl ROWS OUT.dbf
use utf8;
use strict;
use warnings;
use Encode qw(encode);

my ($rows, $out) = @ARGV;
my @fields = (['200a', 40], ['010a', 20], ['010d', 8]);
my $recordLength = 1;
$recordLength += $_->[1] for @fields;
my $headerLength = 32 + 32 * @fields + 1;
open(my $f, '>:raw', $out) or die "$out: $!";
print $f pack('CCCCVvv', 0x03, 126, 12, 6, $rows, $headerLength, $recordLength), "\0" x 17, pack('C', 0x4D), "\0\0";
for my $field (@fields) {
  print $f pack('a11', $field->[0]), 'C', "\0" x 4, pack('CC', $field->[1], 0), "\0" x 14;
}
print $f "\x0D";
for my $i (1 .. $rows) {
  my @values = (encode('gbk', "书名$i"), sprintf('978-7-5327-%05d', $i % 100000), sprintf('%d.50', 10 + $i % 90));
  my $record = ' ';
  $record .= pack("A$fields[$_][1]", $values[$_]) for 0 .. $#fields;
  print $f $record;
}
print $f "\x1A";
close($f) or die "$out: $!";
