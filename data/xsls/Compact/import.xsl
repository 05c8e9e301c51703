<?xml version="1.0" encoding="Shift_JIS"?>
<!-- Compact: the import page of Default as it is; its style sheet makes it dense. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="../Default/import.xsl"/>
</xsl:stylesheet>
